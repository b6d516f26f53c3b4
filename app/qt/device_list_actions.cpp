#include "app/qt/device_list_actions.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTreeWidget>
#include <QUrl>

#include <string>
#include <utility>

#include "discovery/device_list_rules.h"
#include "discovery/main_window_logic.h"

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

QString FromLocal8Bit(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
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

void DeviceListActions::ShowWarning(QWidget* owner, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Qarv Vindle"), FromLocal8Bit(text),
                    QMessageBox::Ok, owner);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (MessageBoxHookSlot()) {
        MessageBoxHookSlot()(box);
    } else {
        box.exec();
    }
}

bool DeviceListActions::OpenUrl(const std::string& url) {
    const QUrl page(QString::fromLatin1(url.data(), static_cast<qsizetype>(url.size())),
                    QUrl::StrictMode);
    return UrlOpenerSlot() ? UrlOpenerSlot()(page) : QDesktopServices::openUrl(page);
}

std::optional<SaveFileChoice> DeviceListActions::AskSaveFileName(QWidget* owner) {
    QFileDialog dialog(owner, QStringLiteral("Save List As"));
    dialog.setObjectName(QStringLiteral("saveListDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({kCsvFilter, kJsonFilter});
    const bool chosen =
        FileDialogHookSlot() ? FileDialogHookSlot()(dialog) : dialog.exec() == QDialog::Accepted;
    if (!chosen || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QByteArray path = dialog.selectedFiles().constFirst().toLocal8Bit();
    return SaveFileChoice{
        std::string(path.constData(), static_cast<std::size_t>(path.size())),
        dialog.selectedNameFilter() == kJsonFilter ? SaveFileType::Json : SaveFileType::Csv};
}

DeviceListActions::DeviceListActions(QTreeWidget* list, MainWindowLogic& logic)
    : QObject(list), m_list(list), m_logic(logic), m_menu(new QMenu(list)) {
    setObjectName(QStringLiteral("deviceListActions"));
    m_menu->setObjectName(QStringLiteral("deviceListMenu"));
    QAction* open = m_menu->addAction(QStringLiteral("Open Web Page"));
    open->setObjectName(QStringLiteral("openWebPageAction"));
    connect(open, &QAction::triggered, this, [this] { m_logic.OpenWebPage(m_menuAddress); });
    m_menu->addSeparator();
    // The text after the tab is shown as the shortcut; Ctrl+C itself is caught in eventFilter.
    QAction* copy = m_menu->addAction(QStringLiteral("Copy\tCtrl+C"));
    copy->setObjectName(QStringLiteral("copyRowsAction"));
    connect(copy, &QAction::triggered, this, [this] { m_logic.CopySelectedRows(); });
    QAction* copyIp = m_menu->addAction(QStringLiteral("Copy IP Address"));
    copyIp->setObjectName(QStringLiteral("copyIpAction"));
    connect(copyIp, &QAction::triggered, this,
            [this] { m_logic.CopySelectedColumn(kIpAddressColumn); });
    QAction* copyMac = m_menu->addAction(QStringLiteral("Copy MAC Address"));
    copyMac->setObjectName(QStringLiteral("copyMacAction"));
    connect(copyMac, &QAction::triggered, this,
            [this] { m_logic.CopySelectedColumn(kMacAddressColumn); });

    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        m_logic.OpenRowWebPage(m_list->indexOfTopLevelItem(item));
    });
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
}

bool DeviceListActions::eventFilter(QObject* watched, QEvent* event) {
    // The list on its own copies only the current cell.
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        m_logic.CopySelectedRows();
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

}  // namespace vindle
