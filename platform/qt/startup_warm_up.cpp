#include "platform/qt/startup_warm_up.h"

#include <system_error>
#include <utility>

#ifdef VINDLE_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif
#ifdef VINDLE_HAVE_DBUS
#include <QDBusConnection>
#endif

namespace vindle {
namespace {

// Starts `work` on a thread of its own; with no thread to spare, Qt does the work itself when it
// needs it, as it would without the warm-up.
template <typename Work>
std::thread StartWarmUp(Work work) {
    try {
        return std::thread(std::move(work));
    } catch (const std::system_error&) {
        return {};
    }
}

void Join(std::thread& thread) {
    if (thread.joinable()) {
        thread.join();
    }
}

}  // namespace

FontWarmUp::FontWarmUp() {
#ifdef VINDLE_HAVE_FONTCONFIG
    // FcInit publishes its configuration atomically: should Qt ask first, both loads are sound
    // and one is dropped.
    m_thread = StartWarmUp([] { FcInit(); });
#endif
}

FontWarmUp::~FontWarmUp() {
    Join(m_thread);
}

SessionBusWarmUp::SessionBusWarmUp() {
#ifdef VINDLE_HAVE_DBUS
    // The connection is shared by the whole process and may be opened from any thread.
    m_thread = StartWarmUp([] { static_cast<void>(QDBusConnection::sessionBus()); });
#endif
}

SessionBusWarmUp::~SessionBusWarmUp() {
    Join(m_thread);
}

}  // namespace vindle
