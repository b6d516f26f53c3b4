#pragma once

#include <thread>

namespace vindle {

// Opens the session bus connection on a thread of its own while the first window is built. Qt's
// accessibility bridge opens it when the first widget is made, and the GUI thread waits for it
// there; where no session bus runs (a remote X session, a bare X server) that is a failed
// attempt to start one, which takes several milliseconds. Made right after the application
// object, which must outlive it. Does nothing where Qt uses no session bus (Windows).
class SessionBusWarmUp {
  public:
    SessionBusWarmUp();
    ~SessionBusWarmUp();

    SessionBusWarmUp(const SessionBusWarmUp&) = delete;
    SessionBusWarmUp& operator=(const SessionBusWarmUp&) = delete;

  private:
    std::thread m_thread;
};

}  // namespace vindle
