#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "platform/console.h"

namespace vindle {
namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void NoteInterrupt(int) {
    g_interrupted.store(true);
}

}  // namespace

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void PrepareConsole() {}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a wait must not end early because of the interrupt.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() {
    return g_interrupted.load();
}

std::string HoldClosedStandardStreams() {
    std::string outputClosed;
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        if (fd == STDOUT_FILENO) {
            outputClosed = std::generic_category().message(EBADF);
        }
        const int held = open("/dev/null", O_RDWR);
        if (held >= 0 && held != fd) {
            dup2(held, fd);
            close(held);
        }
    }
    return outputClosed;
}

}  // namespace vindle
