#pragma once

#include <QApplication>

// The application object: starts the program, runs the main window modally and ends the program
// when that window closes. Besides Qt's own options it reads one: --user-settings runs it in its
// settings folder under the user's configuration directory instead of the working directory.
class CQarvVindleApp : public QApplication {
    Q_OBJECT

  public:
    CQarvVindleApp(int& argc, char** argv);

    // Runs the main window on the real network; returns the process exit status.
    int InitInstance();
};
