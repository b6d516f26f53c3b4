#pragma once

#include <QPointer>
#include <QTreeWidget>

#include "platform/list_view.h"
#include "platform/qt/gui_thread_gate.h"

namespace vindle {

// The device list as a ListView: top-level rows of a QTreeWidget. Bytes and characters map one
// to one (Latin-1) in both directions, so any byte a printer sends survives the round trip.
// Callable from any thread (see GuiThreadGate); the widget is touched on the GUI thread only.
class QtListView final : public ListView {
  public:
    // Role that holds a row's image index; Qt::UserRole holds its item data.
    static constexpr int kImageRole = Qt::UserRole + 1;

    explicit QtListView(QTreeWidget* tree);

    // Makes the adapter inert. GUI thread only.
    void Detach();

    int ItemCount() override;
    std::string ItemText(int row, int column) override;
    int InsertItem(int position, const std::string& text) override;
    void SetItemText(int row, int column, const std::string& text) override;
    void DeleteItem(int row) override;
    void DeleteAllItems() override;
    int NextSelected(int start) override;
    int SelectedCount() override;
    ListRowState RowState(int row) override;
    void SetRowState(int row, const ListRowState& state) override;

  private:
    // The row's item, or nullptr when the row or the widget is gone.
    QTreeWidgetItem* Row(int row) const;

    GuiThreadGate m_gate;
    QPointer<QTreeWidget> m_tree;
};

}  // namespace vindle
