#pragma once

#include <atomic>
#include <utility>

#include "platform/list_view.h"
#include "platform/memory_list_view.h"

namespace vindle {

// Shows the rows of a MemoryListView (the search's own) in a front end's list control. The
// control is a view of the rows: each run of changes costs one call to PostSync(), on the
// thread that changed the rows, which the front end answers by calling Sync() on its own thread;
// Sync() replays the changes on the control, whatever the number of rows. PostSync() must not
// wait for the front end's thread. Create and use the mirror on the front end's thread; the rows
// may change on any thread. A subclass calls Detach() in its destructor.
class ListMirror : public ListChangeSink {
  public:
    ListMirror(MemoryListView& rows, ListView& view);
    ~ListMirror() override;

    ListMirror(const ListMirror&) = delete;
    ListMirror& operator=(const ListMirror&) = delete;

    // Any thread, with the rows' lock held.
    void ChangesPending() final;

    // Replays every change recorded so far; the control then shows the rows as they are.
    void Sync();

    // Runs `operation` on the rows with the control in step: nobody else changes the rows
    // meanwhile, the selection and focus the user gave the control are taken into the rows
    // first, and what `operation` changes is on the control when it returns.
    template <typename Operation>
    void WithRows(Operation&& operation) {
        ListUpdateScope update(m_rows);
        Sync();
        AdoptViewStates();
        std::forward<Operation>(operation)(static_cast<ListView&>(m_rows));
        Sync();
    }

    // Stops recording and replaying for good: the control is going away. Once it returns, no
    // thread calls PostSync() any more.
    void Detach();

    // Calls to PostSync() so far.
    int PostedCalls() const { return m_postedCalls.load(); }

  protected:
    // Asks the front end's thread to call Sync(); returns at once.
    virtual void PostSync() = 0;

  private:
    void Replay(const ListChange& change);
    void AdoptViewStates();

    MemoryListView& m_rows;
    ListView& m_view;
    std::atomic<bool> m_detached{false};
    std::atomic<int> m_postedCalls{0};
};

}  // namespace vindle
