#include "app/device_list_actions.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QTreeWidget>
#include <QUrl>

#include <string>
#include <utility>

namespace vindle {
namespace {

constexpr int kIpColumn = 0;
constexpr int kMacColumn = 1;

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

std::string CellBytes(const QTreeWidgetItem& item, int column) {
    const QByteArray bytes = item.text(column).toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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

DeviceListActions::DeviceListActions(QTreeWidget* list)
    : QObject(list), m_list(list), m_menu(new QMenu(list)) {
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
    connect(copyIp, &QAction::triggered, this, [this] { CopySelectedColumn(kIpColumn); });
    QAction* copyMac = m_menu->addAction(QStringLiteral("Copy MAC Address"));
    copyMac->setObjectName(QStringLiteral("copyMacAction"));
    connect(copyMac, &QAction::triggered, this, [this] { CopySelectedColumn(kMacColumn); });

    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OpenWebPage(m_list->indexOfTopLevelItem(item)); });
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
}

void DeviceListActions::OpenWebPage(int row) {
    const QTreeWidgetItem* item = row >= 0 ? m_list->topLevelItem(row) : nullptr;
    if (item != nullptr) {
        OpenAddress(item->text(kIpColumn));
    }
}

void DeviceListActions::OpenAddress(const QString& address) {
    // The address becomes the host of an http URL; it is never handed to a shell.
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        return;
    }
    const bool opened = UrlOpenerSlot() ? UrlOpenerSlot()(url) : QDesktopServices::openUrl(url);
    if (!opened) {
        ShowWarning(QStringLiteral("No web browser could be started.\n"
                                   "Open this address in a browser by hand:\n\n") +
                    url.toString());
    }
}

void DeviceListActions::CopySelectedRows() {
    QGuiApplication::clipboard()->setText(FromUtf8(FormatTabSeparated(Rows(true))));
}

void DeviceListActions::CopySelectedColumn(int column) {
    QStringList lines;
    const int count = m_list->topLevelItemCount();
    for (int index = 0; index < count; ++index) {
        if (m_list->topLevelItem(index)->isSelected()) {
            lines.append(m_list->topLevelItem(index)->text(column));
        }
    }
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
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
    QString path = dialog.selectedFiles().constFirst();
    // The file's own type decides; a name of another type is written in the chosen filter's
    // format, and a name without a type gets the filter's.
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool json =
        suffix == QLatin1String("json") ||
        (suffix != QLatin1String("csv") && dialog.selectedNameFilter() == kJsonFilter);
    if (suffix.isEmpty()) {
        path += json ? QStringLiteral(".json") : QStringLiteral(".csv");
    }
    const std::string text = FormatRows(json ? OutputFormat::Json : OutputFormat::Csv, Rows(false));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        ShowWarning(
            QStringLiteral("The list could not be saved to %1:\n%2").arg(path, file.errorString()));
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
    m_menuAddress = item->text(kIpColumn);
    m_menu->popup(globalPosition);
}

std::vector<DeviceRow> DeviceListActions::Rows(bool selectedOnly) const {
    std::vector<DeviceRow> rows;
    const int count = m_list->topLevelItemCount();
    for (int index = 0; index < count; ++index) {
        const QTreeWidgetItem& item = *m_list->topLevelItem(index);
        if (!selectedOnly || item.isSelected()) {
            rows.push_back(
                {CellBytes(item, 0), CellBytes(item, 1), CellBytes(item, 2), CellBytes(item, 3)});
        }
    }
    return rows;
}

void DeviceListActions::ShowWarning(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Qarv Vindle"), text, QMessageBox::Ok,
                    m_list->window());
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (MessageBoxHookSlot()) {
        MessageBoxHookSlot()(box);
    } else {
        box.exec();
    }
}

}  // namespace vindle
