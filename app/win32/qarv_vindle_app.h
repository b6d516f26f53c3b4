#pragma once

#include <windows.h>

// The application object: starts the program, runs the main window modally and ends the program
// when that window closes. It reads one option: --user-settings keeps the settings file in the
// user's own settings folder (%APPDATA%\Qarv Vindle) instead of the working directory.
// --version and --help show a message instead.
class CQarvVindleApp {
  public:
    // Runs the main window on the real network; returns the process exit status.
    int InitInstance();
};
