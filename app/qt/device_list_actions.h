#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "discovery/device_row_format.h"

class QFileDialog;
class QMenu;
class QMessageBox;
class QPoint;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace vindle {

class ListMirror;

// What the user can do with the rows of the device list: open a row's web page (double-click,
// context menu, "Browse"), copy rows or single columns (context menu, Ctrl+C) and save the list
// as CSV or JSON. It reads the rows the widget shows from the window's own copy of them, with
// the widget's selection; the rules (which address, which format) are the core's. The list owns
// it.
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

    // `rows` is what `list` shows; it must outlive the list.
    DeviceListActions(QTreeWidget* list, ListMirror& rows);

    // Opens the web page of `row` (nothing for a row that does not exist or holds no address);
    // when no browser starts, says so and shows the address.
    void OpenWebPage(int row);
    // The selected rows with a heading line, tab-separated, in the list's order.
    void CopySelectedRows();
    // One column of the selected rows, one line each.
    void CopySelectedColumn(int column);
    // Asks for a file and writes every row, in the list's order, as CSV or JSON.
    void SaveListAs();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OpenAddress(const std::string& address);
    void ShowContextMenu(QTreeWidgetItem* item, const QPoint& globalPosition);
    std::vector<DeviceRow> Rows(bool selectedOnly);
    void ShowWarning(const std::string& text);

    QTreeWidget* m_list;
    ListMirror& m_rows;
    QMenu* m_menu;
    // The address of the row the context menu was opened on.
    std::string m_menuAddress;
};

}  // namespace vindle
