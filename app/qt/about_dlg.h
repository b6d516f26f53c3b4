#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box: the icon, the program's name, its version and a notice line, and "OK".
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
