#include "tsan/reply_pause_network.h"

#include <utility>

namespace vindle::test {

class ReplyPauseNetwork::PausingSocket : public UdpSocket {
  public:
    PausingSocket(ReplyPauseNetwork& owner, std::unique_ptr<UdpSocket> inner)
        : m_owner(owner), m_inner(std::move(inner)) {}

    bool EnableBroadcast() override { return m_inner->EnableBroadcast(); }
    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        return m_inner->SendTo(address, port, data, size);
    }
    int WaitReadable(WaitTime limit) override {
        m_owner.OnSearchWait();
        return m_inner->WaitReadable(limit);
    }
    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        return m_inner->ReceiveFrom(buffer, capacity, sender);
    }

  private:
    ReplyPauseNetwork& m_owner;
    std::unique_ptr<UdpSocket> m_inner;
};

std::unique_ptr<UdpSocket> ReplyPauseNetwork::OpenUdpSocket() {
    std::unique_ptr<UdpSocket> socket = m_inner.OpenUdpSocket();
    std::lock_guard lock(m_mutex);
    if (socket == nullptr || m_searchSocketOpened) {
        return socket;
    }
    m_searchSocketOpened = true;
    return std::make_unique<PausingSocket>(*this, std::move(socket));
}

void ReplyPauseNetwork::Shutdown() {
    // The inner network first, so that the released wait fails at once.
    m_inner.Shutdown();
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

void ReplyPauseNetwork::OnSearchWait() {
    std::unique_lock lock(m_mutex);
    if (++m_searchWaits != m_pauseAt || m_shutDown) {
        return;
    }
    m_paused = true;
    m_changed.wait(lock, [this] { return !m_paused || m_shutDown; });
}

}  // namespace vindle::test
