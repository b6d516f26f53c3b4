#pragma once

#include <atomic>
#include <utility>

#include "platform/list_view.h"
#include "platform/memory_list_view.h"
#include "platform/qt/gui_thread_gate.h"
#include "platform/qt/qt_list_view.h"

namespace vindle {

// Shows the rows of a MemoryListView in a list widget. The rows are the search's own; the widget
// is a view of them: each run of changes costs one queued, non-blocking call to the GUI thread,
// which replays the changes on the widget, whatever the number of rows. Create and use it on the
// GUI thread; the rows may change on any thread.
class QtListMirror final : public ListChangeSink {
  public:
    QtListMirror(MemoryListView& rows, QtListView& view);
    ~QtListMirror() override;

    QtListMirror(const QtListMirror&) = delete;
    QtListMirror& operator=(const QtListMirror&) = delete;

    // Any thread, with the rows' lock held.
    void ChangesPending() override;

    // Replays every change recorded so far; the widget then shows the rows as they are.
    void Sync();

    // Runs `operation` on the rows with the widget in step: nobody else changes the rows
    // meanwhile, the selection and focus the user gave the widget are taken into the rows first,
    // and what `operation` changes is on the widget when it returns.
    template <typename Operation>
    void WithRows(Operation&& operation) {
        ListUpdateScope update(m_rows);
        Sync();
        AdoptWidgetStates();
        std::forward<Operation>(operation)(static_cast<ListView&>(m_rows));
        Sync();
    }

    // Stops replaying: the widget is going away.
    void Detach();

    // Queued calls made to the GUI thread so far.
    int PostedCalls() const { return m_postedCalls.load(); }

  private:
    void Replay(const ListChange& change);
    void AdoptWidgetStates();

    MemoryListView& m_rows;
    QtListView& m_view;
    GuiThreadGate m_gate;
    std::atomic<int> m_postedCalls{0};
};

}  // namespace vindle
