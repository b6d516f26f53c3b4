#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>
#include <utility>

namespace vindle {

// Runs widget operations on the GUI thread for callers on any thread. A worker's call is queued to
// the GUI thread and the worker waits until it has run, like a window message sent across threads.
// After Detach() every call does nothing and yields the caller's neutral value, so a worker that
// outlives its window never touches a destroyed widget. The gate must outlive every caller: a call
// queued before Detach() is answered (with the neutral value) when the GUI thread next processes
// events.
class GuiThreadGate {
  public:
    GuiThreadGate();
    ~GuiThreadGate();

    GuiThreadGate(const GuiThreadGate&) = delete;
    GuiThreadGate& operator=(const GuiThreadGate&) = delete;

    // GUI thread only.
    void Detach();
    bool IsDetached() const { return m_detached.load(std::memory_order_acquire); }

    // `operation` runs on the GUI thread unless the gate is detached by then.
    template <typename Result, typename Operation>
    Result Run(Result neutral, Operation&& operation) {
        if (IsDetached()) {
            return neutral;
        }
        if (QThread::currentThread() == m_receiver->thread()) {
            return operation();
        }
        Result result = std::move(neutral);
        QueueAndWait([&] {
            if (!IsDetached()) {
                result = operation();
            }
        });
        return result;
    }

    template <typename Operation>
    void Run(Operation&& operation) {
        Run(0, [&] {
            operation();
            return 0;
        });
    }

    // Queues `operation` to run on the GUI thread unless the gate is detached by then, and returns
    // at once. Posted operations run in the order they were posted.
    template <typename Operation>
    void Post(Operation operation) {
        QMetaObject::invokeMethod(
            m_receiver.get(),
            [this, operation = std::move(operation)]() mutable {
                if (!IsDetached()) {
                    operation();
                }
            },
            Qt::QueuedConnection);
    }

  private:
    template <typename Function>
    void QueueAndWait(Function&& function) {
        QMetaObject::invokeMethod(m_receiver.get(), std::forward<Function>(function),
                                  Qt::BlockingQueuedConnection);
    }

    // Lives on the GUI thread; queued calls are delivered to it, never to a widget.
    std::unique_ptr<QObject> m_receiver;
    std::atomic<bool> m_detached{false};
};

}  // namespace vindle
