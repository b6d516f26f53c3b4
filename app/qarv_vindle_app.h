#pragma once

#include <QApplication>

// The application object: starts the program, runs the main window modally and ends the program
// when that window closes. It reads no command-line options of its own (Qt's own are honoured).
class CQarvVindleApp : public QApplication {
    Q_OBJECT

  public:
    CQarvVindleApp(int& argc, char** argv);

    // Runs the main window on the real network; returns the process exit status.
    int InitInstance();
};
