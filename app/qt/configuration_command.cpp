#include "app/qt/configuration_command.h"

#include "app/qt/conset_dlg.h"

void RunConfigurationDialog(QWidget* owner) {
    CConsetDlg dialog(owner);
    dialog.exec();
}
