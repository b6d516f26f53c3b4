#include "platform/qt/qt_list_view.h"

#include <QItemSelectionModel>
#include <QString>

#include <algorithm>

namespace vindle {
namespace {

QString ToListText(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string FromListText(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

QtListView::QtListView(QTreeWidget* tree) : m_tree(tree) {}

void QtListView::Detach() {
    m_gate.Detach();
    m_tree = nullptr;
}

QTreeWidgetItem* QtListView::Row(int row) const {
    if (m_tree == nullptr || row < 0 || row >= m_tree->topLevelItemCount()) {
        return nullptr;
    }
    return m_tree->topLevelItem(row);
}

int QtListView::ItemCount() {
    return m_gate.Run(0, [&] { return m_tree ? m_tree->topLevelItemCount() : 0; });
}

std::string QtListView::ItemText(int row, int column) {
    return m_gate.Run(std::string(), [&] {
        QTreeWidgetItem* item = Row(row);
        if (item == nullptr || column < 0 || column >= m_tree->columnCount()) {
            return std::string();
        }
        return FromListText(item->text(column));
    });
}

int QtListView::InsertItem(int position, const std::string& text) {
    return m_gate.Run(-1, [&] {
        if (m_tree == nullptr || position < 0) {
            return -1;
        }
        // Like a list control, a position past the end appends.
        const int index = std::min(position, m_tree->topLevelItemCount());
        auto* item = new QTreeWidgetItem();
        item->setText(0, ToListText(text));
        item->setData(0, Qt::UserRole, QVariant::fromValue<qintptr>(0));
        item->setData(0, kImageRole, 0);
        m_tree->insertTopLevelItem(index, item);
        return index;
    });
}

void QtListView::SetItemText(int row, int column, const std::string& text) {
    m_gate.Run([&] {
        QTreeWidgetItem* item = Row(row);
        if (item != nullptr && column >= 0 && column < m_tree->columnCount()) {
            item->setText(column, ToListText(text));
        }
    });
}

void QtListView::DeleteItem(int row) {
    m_gate.Run([&] {
        if (Row(row) != nullptr) {
            delete m_tree->takeTopLevelItem(row);
        }
    });
}

void QtListView::DeleteAllItems() {
    m_gate.Run([&] {
        if (m_tree != nullptr) {
            m_tree->clear();
        }
    });
}

int QtListView::NextSelected(int start) {
    return m_gate.Run(-1, [&] {
        if (m_tree == nullptr) {
            return -1;
        }
        const int count = m_tree->topLevelItemCount();
        for (int row = std::max(start + 1, 0); row < count; ++row) {
            if (m_tree->topLevelItem(row)->isSelected()) {
                return row;
            }
        }
        return -1;
    });
}

int QtListView::SelectedCount() {
    return m_gate.Run(0, [&] {
        if (m_tree == nullptr) {
            return 0;
        }
        int selected = 0;
        const int count = m_tree->topLevelItemCount();
        for (int row = 0; row < count; ++row) {
            if (m_tree->topLevelItem(row)->isSelected()) {
                ++selected;
            }
        }
        return selected;
    });
}

ListRowState QtListView::RowState(int row) {
    return m_gate.Run(ListRowState{}, [&] {
        ListRowState state;
        QTreeWidgetItem* item = Row(row);
        if (item != nullptr) {
            state.selected = item->isSelected();
            state.focused = m_tree->currentItem() == item;
            state.itemData =
                static_cast<std::intptr_t>(item->data(0, Qt::UserRole).value<qintptr>());
            state.image = item->data(0, kImageRole).toInt();
        }
        return state;
    });
}

void QtListView::SetRowState(int row, const ListRowState& state) {
    m_gate.Run([&] {
        QTreeWidgetItem* item = Row(row);
        if (item == nullptr) {
            return;
        }
        item->setData(0, Qt::UserRole, QVariant::fromValue<qintptr>(state.itemData));
        item->setData(0, kImageRole, state.image);
        QItemSelectionModel* selection = m_tree->selectionModel();
        const QModelIndex index = m_tree->indexFromItem(item);
        // The current item moves without touching the selection; the selection is set on its own.
        if (state.focused) {
            selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        } else if (m_tree->currentItem() == item) {
            selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        }
        item->setSelected(state.selected);
    });
}

}  // namespace vindle
