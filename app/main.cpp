#include "app/qarv_vindle_app.h"
#include "platform/qt/startup_warm_up.h"

int main(int argc, char** argv) {
    // The fonts load while Qt connects to the display, the session bus while the window is built.
    const vindle::FontWarmUp fontWarmUp;
    CQarvVindleApp app(argc, argv);
    const vindle::SessionBusWarmUp sessionBusWarmUp;
    return app.InitInstance();
}
