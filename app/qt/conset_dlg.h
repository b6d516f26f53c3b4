#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QTreeWidget;

namespace vindle {
class ConsetLogic;
class Settings;
class IpAddressEdit;
class QtCheckBox;
class QtControl;
class QtIpAddress;
class QtListView;
class QtNumberEdit;
}  // namespace vindle

// The "Configuration Settings" dialog: the search mode, up to 20 address/mask pairs and the
// time-out. It reads the settings file when it is created and writes it only on an accepted OK.
class CConsetDlg : public QDialog {
    Q_OBJECT

  public:
    // Shows a prepared operator-error message box (owner, caption, icon, button and text are
    // set) and returns when it has been answered. The default runs the box modally; tests
    // replace it to read the box and answer it at once.
    using MessageBoxHook = std::function<void(QMessageBox& box)>;
    // Installs `hook` for every dialog (an empty one restores the default) and returns the
    // previous one.
    static MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

    // `settings` must outlive the dialog.
    explicit CConsetDlg(const vindle::Settings& settings, QWidget* parent = nullptr);
    ~CConsetDlg() override;

  public slots:
    // OK: saves when the time-out is valid, then closes.
    void accept() override;

  private slots:
    void OnSelectionChanged();
    void OnAdd();
    void OnDelete();
    void OnSearchSpecifiedClicked();

  private:
    void BuildControls();
    void OnInitDialog();
    void ShowMessage(const char* text);

    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QCheckBox* m_searchSpecifiedCheck = nullptr;
    QLineEdit* m_timeoutEdit = nullptr;
    QTreeWidget* m_addressList = nullptr;
    vindle::IpAddressEdit* m_addressEdit = nullptr;
    vindle::IpAddressEdit* m_maskEdit = nullptr;

    // The handlers' logic and the adapters it drives the widgets through.
    std::unique_ptr<vindle::QtControl> m_addControl;
    std::unique_ptr<vindle::QtControl> m_deleteControl;
    std::unique_ptr<vindle::QtControl> m_listControl;
    std::unique_ptr<vindle::QtListView> m_listView;
    std::unique_ptr<vindle::QtCheckBox> m_checkControl;
    std::unique_ptr<vindle::QtIpAddress> m_addressControl;
    std::unique_ptr<vindle::QtIpAddress> m_maskControl;
    std::unique_ptr<vindle::QtNumberEdit> m_timeoutControl;
    std::unique_ptr<vindle::ConsetLogic> m_logic;
};
