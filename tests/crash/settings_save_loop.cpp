// Saves settings A and B alternately, forever, in the directory given as the only argument, so
// that the crash-safety test can kill it at any moment of a save. It writes one byte to standard
// output once it is about to start saving.
//
// VINDLE_STOP_AT_RENAME=before:N (or after:N) makes the process stop itself with SIGSTOP just
// before (or just after) the N-th rename it makes, which is where a save commits its temporary
// file, so the test can kill it exactly there.

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "crash/crash_settings.h"

namespace {

bool g_stopBefore = false;
long g_stopAt = 0;
long g_renames = 0;

void ReadStopRequest() {
    const char* request = std::getenv("VINDLE_STOP_AT_RENAME");
    if (request == nullptr) {
        return;
    }
    const char* colon = std::strchr(request, ':');
    if (colon == nullptr) {
        return;
    }
    g_stopBefore = std::strncmp(request, "before", static_cast<std::size_t>(colon - request)) == 0;
    g_stopAt = std::strtol(colon + 1, nullptr, 10);
}

}  // namespace

// Takes the place of the C library's rename for the settings code linked into this program.
extern "C" int rename(const char* from, const char* to) noexcept {
    ++g_renames;
    const bool stopHere = g_renames == g_stopAt;
    if (stopHere && g_stopBefore) {
        raise(SIGSTOP);
    }
    const int result = renameat(AT_FDCWD, from, AT_FDCWD, to);
    if (stopHere && !g_stopBefore) {
        raise(SIGSTOP);
    }
    return result;
}

int main(int argc, char** argv) {
    if (argc != 2 || chdir(argv[1]) != 0) {
        std::fprintf(stderr, "usage: settings_save_loop DIRECTORY\n");
        return 2;
    }
    ReadStopRequest();
    if (write(STDOUT_FILENO, "R", 1) != 1) {
        return 1;
    }
    for (;;) {
        vindle::SaveSettingsA();
        vindle::SaveSettingsB();
    }
}
