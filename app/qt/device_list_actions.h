#pragma once

#include <QObject>

#include <functional>
#include <optional>
#include <string>

#include "platform/main_window_view.h"

class QFileDialog;
class QMenu;
class QMessageBox;
class QPoint;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;
class QWidget;

namespace vindle {

class MainWindowLogic;

// The device list's row actions as the user reaches them: a double-click opens a row's web page,
// the context menu opens, copies and copies single columns, Ctrl+C copies the selected rows. Each
// goes to the main-window logic, which decides what it produces. Also the desktop's side of those
// actions (browser, message box, "Save List As" dialog), which tests replace. The list owns it.
class DeviceListActions : public QObject {
    Q_OBJECT

  public:
    // Shows a prepared message box (owner, caption, icon, button and text are set) and returns
    // when it has been answered. The default runs the box modally.
    using MessageBoxHook = std::function<void(QMessageBox& box)>;
    // Shows the prepared "Save List As" dialog; true when a file was chosen. The default runs
    // the dialog modally.
    using FileDialogHook = std::function<bool(QFileDialog& dialog)>;
    // Hands a URL to the desktop; false when no browser could be started.
    using UrlOpener = std::function<bool(const QUrl& url)>;

    // Each installs its replacement for every list (an empty one restores the default) and
    // returns the previous one.
    static MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
    static FileDialogHook SetFileDialogHook(FileDialogHook hook);
    static UrlOpener SetUrlOpener(UrlOpener opener);

    // A warning box over `owner`, with the program's caption.
    static void ShowWarning(QWidget* owner, const std::string& text);
    // Hands `url` (an address the logic made) to the desktop; false when no browser started.
    static bool OpenUrl(const std::string& url);
    // The "Save List As" dialog over `owner`; nothing when cancelled.
    static std::optional<SaveFileChoice> AskSaveFileName(QWidget* owner);

    // `logic` must outlive the list.
    DeviceListActions(QTreeWidget* list, MainWindowLogic& logic);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowContextMenu(QTreeWidgetItem* item, const QPoint& globalPosition);

    QTreeWidget* m_list;
    MainWindowLogic& m_logic;
    QMenu* m_menu;
    // The address of the row the context menu was opened on.
    std::string m_menuAddress;
};

}  // namespace vindle
