#include "app/qarv_vindle_app.h"

int main(int argc, char** argv) {
    CQarvVindleApp app(argc, argv);
    return app.InitInstance();
}
