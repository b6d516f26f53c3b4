#pragma once

#include <thread>

namespace vindle {

// Two slow first steps of a Qt program on Linux, which the GUI thread would otherwise take one
// after the other on the way to the first window, started early on threads of their own so that
// they overlap the rest. Elsewhere (Windows) both do nothing.

// Loads the font configuration while the application object connects to the display. Qt's font
// database is built on fontconfig, and reading its configuration and caches is the longest
// single step before a window can be laid out; fontconfig keeps the result for the process and Qt
// finds it ready. Made at the start of main, before the application object.
class FontWarmUp {
  public:
    FontWarmUp();
    ~FontWarmUp();

    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

  private:
    std::thread m_thread;
};

// Opens the session bus connection, which Qt's accessibility bridge opens, and waits for, when
// the first widget is made. Where no session bus runs (a remote X session, a bare X server) that
// is a failed attempt to start one and takes several milliseconds. Made right after the
// application object, which must outlive it.
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
