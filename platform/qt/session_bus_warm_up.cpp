#include "platform/qt/session_bus_warm_up.h"

#include <system_error>

#ifdef VINDLE_HAVE_DBUS
#include <QDBusConnection>
#endif

namespace vindle {

SessionBusWarmUp::SessionBusWarmUp() {
#ifdef VINDLE_HAVE_DBUS
    try {
        // The connection is shared by the whole process and may be opened from any thread.
        m_thread = std::thread([] { static_cast<void>(QDBusConnection::sessionBus()); });
    } catch (const std::system_error&) {
        // No thread to spare: the bridge opens the connection itself, as without the warm-up.
    }
#endif
}

SessionBusWarmUp::~SessionBusWarmUp() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

}  // namespace vindle
