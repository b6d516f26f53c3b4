#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/console.h"

namespace vindle {
namespace {

std::atomic<bool> g_interrupted{false};

// Runs on a thread the system starts for the event; TRUE keeps the process alive.
BOOL WINAPI NoteInterrupt(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        g_interrupted.store(true);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool StandardErrorIsTerminal() {
    // A console, not merely a character device such as NUL.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void PrepareConsole() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(error, &mode) != 0) {
        SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

void CatchInterrupts() {
    SetConsoleCtrlHandler(NoteInterrupt, TRUE);
}

bool InterruptRequested() {
    return g_interrupted.load();
}

std::string HoldClosedStandardStreams() {
    // Sockets are not numbered like files on Windows, so a closed standard stream cannot be
    // taken over by one; writes to it fail and are reported.
    return {};
}

}  // namespace vindle
