#include "app/qt/configuration_command.h"

#include "app/qt/conset_dlg.h"

void RunConfigurationDialog(QWidget* owner, const vindle::Settings& settings) {
    CConsetDlg dialog(settings, owner);
    dialog.exec();
}
