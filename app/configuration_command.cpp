#include "app/configuration_command.h"

#include "app/conset_dlg.h"

void RunConfigurationDialog(QWidget* owner) {
    CConsetDlg dialog(owner);
    dialog.exec();
}
