#include "app/qt/qarv_vindle_app.h"

#include <QMessageBox>
#include <QStyle>

#include "app/qt/qarv_vindle_dlg.h"
#include "app/qt/qarv_vindle_style.h"
#include "app/qt/window_icon.h"
#include "platform/system_network.h"
#include "settings/user_settings_folder.h"
#include "vindle_version.h"

CQarvVindleApp::CQarvVindleApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The style the desktop (or -style) chose, with the menu bar's overflow icon drawn.
    setStyle(new CQarvVindleStyle(style()->name()));
    setApplicationName(QStringLiteral("qarv-vindle"));
    setApplicationDisplayName(QStringLiteral("Qarv Vindle"));
    setApplicationVersion(QString::fromLatin1(vindle::kVersionText));
    setDesktopFileName(QStringLiteral("qarv-vindle"));
    // The window's menu bar is always its own: asking the desktop for a global menu would cost a
    // session bus call at start.
    setAttribute(Qt::AA_DontUseNativeMenuBar);
    setWindowIcon(vindle::WindowIcon());
}

int CQarvVindleApp::InitInstance() {
    // The desktop entry passes this option, so that a launch from the menu keeps its settings in
    // a folder of its own rather than in whatever folder the launcher runs in. Otherwise the
    // working directory's file comes first, and that folder is where the settings go when the
    // file there can be neither opened nor created.
    vindle::SettingsChoice choice =
        vindle::ChooseSettings(arguments().contains(QStringLiteral("--user-settings")));
    if (!choice.Ok()) {
        QMessageBox::warning(nullptr, QStringLiteral("Qarv Vindle"),
                             QString::fromStdString(choice.errorText));
        return 1;
    }
    const std::unique_ptr<vindle::Network> network = vindle::MakeSystemNetwork();
    CQarvVindleDlg dialog(*network, choice.settings);
    dialog.exec();
    // A search still running ends at once (its network is shut down); wait for its thread.
    dialog.FinishSearch();
    return 0;
}
