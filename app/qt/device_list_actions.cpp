#include "app/qt/device_list_actions.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QTreeWidget>
#include <QUrl>

#include <string>
#include <utility>

#include "discovery/device_list_rules.h"
#include "platform/list_mirror.h"

namespace vindle {
namespace {

const QString kCsvFilter = QStringLiteral("CSV files (*.csv)");
const QString kJsonFilter = QStringLiteral("JSON files (*.json)");

DeviceListActions::MessageBoxHook& MessageBoxHookSlot() {
    static DeviceListActions::MessageBoxHook s_hook;
    return s_hook;
}

DeviceListActions::FileDialogHook& FileDialogHookSlot() {
    static DeviceListActions::FileDialogHook s_hook;
    return s_hook;
}

DeviceListActions::UrlOpener& UrlOpenerSlot() {
    static DeviceListActions::UrlOpener s_opener;
    return s_opener;
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The list's texts: one Latin-1 byte per character.
QString FromLatin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromLocal8Bit(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToLocal8Bit(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

DeviceListActions::MessageBoxHook DeviceListActions::SetMessageBoxHook(MessageBoxHook hook) {
    return std::exchange(MessageBoxHookSlot(), std::move(hook));
}

DeviceListActions::FileDialogHook DeviceListActions::SetFileDialogHook(FileDialogHook hook) {
    return std::exchange(FileDialogHookSlot(), std::move(hook));
}

DeviceListActions::UrlOpener DeviceListActions::SetUrlOpener(UrlOpener opener) {
    return std::exchange(UrlOpenerSlot(), std::move(opener));
}

DeviceListActions::DeviceListActions(QTreeWidget* list, ListMirror& rows)
    : QObject(list), m_list(list), m_rows(rows), m_menu(new QMenu(list)) {
    setObjectName(QStringLiteral("deviceListActions"));
    m_menu->setObjectName(QStringLiteral("deviceListMenu"));
    QAction* open = m_menu->addAction(QStringLiteral("Open Web Page"));
    open->setObjectName(QStringLiteral("openWebPageAction"));
    connect(open, &QAction::triggered, this, [this] { OpenAddress(m_menuAddress); });
    m_menu->addSeparator();
    // The text after the tab is shown as the shortcut; Ctrl+C itself is caught in eventFilter.
    QAction* copy = m_menu->addAction(QStringLiteral("Copy\tCtrl+C"));
    copy->setObjectName(QStringLiteral("copyRowsAction"));
    connect(copy, &QAction::triggered, this, &DeviceListActions::CopySelectedRows);
    QAction* copyIp = m_menu->addAction(QStringLiteral("Copy IP Address"));
    copyIp->setObjectName(QStringLiteral("copyIpAction"));
    connect(copyIp, &QAction::triggered, this, [this] { CopySelectedColumn(kIpAddressColumn); });
    QAction* copyMac = m_menu->addAction(QStringLiteral("Copy MAC Address"));
    copyMac->setObjectName(QStringLiteral("copyMacAction"));
    connect(copyMac, &QAction::triggered, this, [this] { CopySelectedColumn(kMacAddressColumn); });

    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OpenWebPage(m_list->indexOfTopLevelItem(item)); });
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
}

void DeviceListActions::OpenWebPage(int row) {
    if (row < 0) {
        return;
    }
    std::string address;
    m_rows.WithRows([&](ListView& rows) { address = rows.ItemText(row, kIpAddressColumn); });
    OpenAddress(address);
}

void DeviceListActions::OpenAddress(const std::string& address) {
    // Only an address becomes the URL's host; a row's text is never handed to a shell.
    const std::string page = WebPageAddress(address);
    if (page.empty()) {
        return;
    }
    const QUrl url(QString::fromLatin1(page.data(), static_cast<qsizetype>(page.size())),
                   QUrl::StrictMode);
    const bool opened = UrlOpenerSlot() ? UrlOpenerSlot()(url) : QDesktopServices::openUrl(url);
    if (!opened) {
        ShowWarning(NoBrowserMessage(page));
    }
}

void DeviceListActions::CopySelectedRows() {
    QGuiApplication::clipboard()->setText(FromUtf8(FormatTabSeparated(Rows(true))));
}

void DeviceListActions::CopySelectedColumn(int column) {
    std::string text;
    m_rows.WithRows([&](ListView& rows) { text = SelectedColumnText(rows, column); });
    QGuiApplication::clipboard()->setText(FromLatin1(text));
}

void DeviceListActions::SaveListAs() {
    QFileDialog dialog(m_list->window(), QStringLiteral("Save List As"));
    dialog.setObjectName(QStringLiteral("saveListDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({kCsvFilter, kJsonFilter});
    const bool chosen =
        FileDialogHookSlot() ? FileDialogHookSlot()(dialog) : dialog.exec() == QDialog::Accepted;
    if (!chosen || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const ExportTarget target = ChooseExportTarget(
        ToLocal8Bit(dialog.selectedFiles().constFirst()),
        dialog.selectedNameFilter() == kJsonFilter ? OutputFormat::Json : OutputFormat::Csv);
    const QString path = FromLocal8Bit(target.path);
    const std::string text = FormatRows(target.format, Rows(false));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        ShowWarning(ListSaveFailedMessage(target.path, ToLocal8Bit(file.errorString())));
    }
}

bool DeviceListActions::eventFilter(QObject* watched, QEvent* event) {
    // The list on its own copies only the current cell.
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopySelectedRows();
        return true;
    }
    if (event->type() == QEvent::ContextMenu) {
        const auto* request = static_cast<QContextMenuEvent*>(event);
        // A mouse asks over the rows' area, for the row under it; the menu key asks the list,
        // for its current row while that is selected.
        if (watched == m_list->viewport()) {
            if (QTreeWidgetItem* item = m_list->itemAt(request->pos())) {
                ShowContextMenu(item, request->globalPos());
            }
            return true;
        }
        if (watched == m_list && request->reason() == QContextMenuEvent::Keyboard) {
            QTreeWidgetItem* item = m_list->currentItem();
            if (item != nullptr && item->isSelected()) {
                ShowContextMenu(
                    item, m_list->viewport()->mapToGlobal(m_list->visualItemRect(item).center()));
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void DeviceListActions::ShowContextMenu(QTreeWidgetItem* item, const QPoint& globalPosition) {
    // The address, not the row: a running search may move or remove rows while the menu is open.
    // The item under the pointer, as the user sees it now (a sync could still move it).
    m_menuAddress = item->text(kIpAddressColumn).toLatin1().toStdString();
    m_menu->popup(globalPosition);
}

std::vector<DeviceRow> DeviceListActions::Rows(bool selectedOnly) {
    std::vector<DeviceRow> rows;
    m_rows.WithRows([&](ListView& list) { rows = ReadDeviceRows(list, selectedOnly); });
    return rows;
}

void DeviceListActions::ShowWarning(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Qarv Vindle"), FromLocal8Bit(text),
                    QMessageBox::Ok, m_list->window());
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (MessageBoxHookSlot()) {
        MessageBoxHookSlot()(box);
    } else {
        box.exec();
    }
}

}  // namespace vindle
