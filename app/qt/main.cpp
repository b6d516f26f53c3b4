#include "app/qt/qarv_vindle_app.h"
#include "platform/qt/session_bus_warm_up.h"

int main(int argc, char** argv) {
    CQarvVindleApp app(argc, argv);
    // The session bus opens while the window is built.
    const vindle::SessionBusWarmUp sessionBusWarmUp;
    return app.InitInstance();
}
