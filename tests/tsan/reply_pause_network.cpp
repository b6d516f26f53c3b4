#include "tsan/reply_pause_network.h"

#include <utility>

#include "platform/forwarding_socket.h"

namespace vindle::test {

class ReplyPauseNetwork::PausingSocket : public ForwardingUdpSocket {
  public:
    PausingSocket(ReplyPauseNetwork& owner, std::unique_ptr<UdpSocket> inner)
        : ForwardingUdpSocket(std::move(inner)), m_owner(owner) {}

    int WaitReadable(WaitTime limit) override {
        m_owner.OnSearchWait();
        return ForwardingUdpSocket::WaitReadable(limit);
    }

  private:
    ReplyPauseNetwork& m_owner;
};

std::unique_ptr<UdpSocket> ReplyPauseNetwork::OpenUdpSocket() {
    std::unique_ptr<UdpSocket> socket = Inner().OpenUdpSocket();
    std::lock_guard lock(m_mutex);
    if (socket == nullptr || m_searchSocketOpened) {
        return socket;
    }
    m_searchSocketOpened = true;
    return std::make_unique<PausingSocket>(*this, std::move(socket));
}

void ReplyPauseNetwork::Shutdown() {
    // The inner network first, so that the released wait fails at once.
    Inner().Shutdown();
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
    }
    m_changed.notify_all();
}

void ReplyPauseNetwork::PauseBeforeWait(int waitNumber) {
    std::lock_guard lock(m_mutex);
    m_pauseAt = waitNumber;
}

bool ReplyPauseNetwork::IsPaused() {
    std::lock_guard lock(m_mutex);
    return m_paused;
}

void ReplyPauseNetwork::Resume() {
    {
        std::lock_guard lock(m_mutex);
        m_pauseAt = 0;
        m_paused = false;
    }
    m_changed.notify_all();
}

void ReplyPauseNetwork::SlowEveryWait(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_mutex);
    m_waitDelay = delay;
}

void ReplyPauseNetwork::OnSearchWait() {
    std::unique_lock lock(m_mutex);
    if (m_waitDelay.count() > 0) {
        m_changed.wait_for(lock, m_waitDelay, [this] { return m_shutDown; });
    }
    if (++m_searchWaits != m_pauseAt || m_shutDown) {
        return;
    }
    m_paused = true;
    m_changed.wait(lock, [this] { return !m_paused || m_shutDown; });
}

}  // namespace vindle::test
