#include <cstdio>
#include <cstring>
#include <string>

#include "app/qt/qarv_vindle_app.h"
#include "platform/qt/session_bus_warm_up.h"
#include "vindle_version.h"

namespace {

constexpr char kUsage[] =
    "Usage: qarv-vindle [--user-settings] [Qt options]\n"
    "\n"
    "Opens the main window of the Qarv Vindle LAN Setup Utility, which finds the printers of the\n"
    "local network and lists their IP address, MAC address, model number and serial number.\n"
    "The settings file QarvVindle.ini is kept in the current working directory.\n"
    "\n"
    "  --user-settings  keep the settings in ${XDG_CONFIG_HOME:-~/.config}/qarv-vindle instead\n"
    "                   (created when needed; the desktop entry starts the program this way)\n"
    "  --help           show this text\n"
    "  --version        show the version\n";

// 0 when the whole text reached standard output.
int Print(const char* text) {
    return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before the application object exists: Qt's platform plugin needs a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            return Print(kUsage);
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            const std::string version = std::string("Qarv Vindle LAN Setup Utility\nVersion ") +
                                        vindle::kVersionText + "\n";
            return Print(version.c_str());
        }
    }
    CQarvVindleApp app(argc, argv);
    // The session bus opens while the window is built.
    const vindle::SessionBusWarmUp sessionBusWarmUp;
    return app.InitInstance();
}
