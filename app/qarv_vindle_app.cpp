#include "app/qarv_vindle_app.h"

#include "app/qarv_vindle_dlg.h"
#include "app/window_icon.h"
#include "platform/system_network.h"

CQarvVindleApp::CQarvVindleApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("qarv-vindle"));
    setApplicationDisplayName(QStringLiteral("Qarv Vindle"));
    setApplicationVersion(QStringLiteral("1.1"));
    setDesktopFileName(QStringLiteral("qarv-vindle"));
    setWindowIcon(vindle::WindowIcon());
}

int CQarvVindleApp::InitInstance() {
    const std::unique_ptr<vindle::Network> network = vindle::MakeSystemNetwork();
    CQarvVindleDlg dialog(*network);
    dialog.exec();
    // A search still running ends at once (its network is shut down); wait for its thread.
    dialog.FinishSearch();
    return 0;
}
