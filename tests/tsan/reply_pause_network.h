#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/forwarding_socket.h"
#include "platform/network.h"

namespace vindle::test {

// Pauses a search between two replies. The first socket opened on this network is taken to be
// the search's own socket; its wait number PauseBeforeWait(n) (counting from 1) blocks for real
// until Resume() or Shutdown(). By then the worker has handled the replies of the earlier waits
// completely, so a test can act on the window at that exact point and let the search go on.
// Everything else goes to `inner`.
class ReplyPauseNetwork : public ForwardingNetwork {
  public:
    explicit ReplyPauseNetwork(Network& inner) : ForwardingNetwork(inner) {}

    std::unique_ptr<UdpSocket> OpenUdpSocket() override;
    void Shutdown() override;

    void PauseBeforeWait(int waitNumber);
    // Every later search wait first sleeps this long in real time, so that a search on the
    // virtual clock still lasts long enough for the window to act during it.
    void SlowEveryWait(std::chrono::milliseconds delay);
    bool IsPaused();
    void Resume();

  private:
    class PausingSocket;

    void OnSearchWait();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_searchSocketOpened = false;
    int m_searchWaits = 0;
    int m_pauseAt = 0;
    bool m_paused = false;
    bool m_shutDown = false;
    std::chrono::milliseconds m_waitDelay{0};
};

}  // namespace vindle::test
