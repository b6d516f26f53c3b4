#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vindle {

// The window program under test, started by the driver so that its memory can be reached and
// its exit code read.
class AppProcess {
  public:
    AppProcess(const std::wstring& exe, const std::vector<std::wstring>& arguments);
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    HANDLE Handle() const { return m_info.hProcess; }
    DWORD Id() const { return m_info.dwProcessId; }
    const std::wstring& Program() const { return m_program; }

    // A visible top-level window of this process with the given caption (and, when given,
    // the given window class), or null.
    HWND FindTopWindow(const std::wstring& caption, const wchar_t* windowClass = nullptr) const;
    // Waits up to `milliseconds` for such a window; throws when none appears.
    HWND WaitForTopWindow(const std::wstring& caption, DWORD milliseconds,
                          const wchar_t* windowClass = nullptr) const;

    // The captions of the process's visible top-level windows, for failure messages.
    std::string DescribeWindows() const;

    bool HasExited() const;
    // Waits up to `milliseconds` for the process to end; true and its code when it did.
    bool WaitForExit(DWORD milliseconds, DWORD& exitCode) const;
    void Kill();

  private:
    std::wstring m_program;
    PROCESS_INFORMATION m_info{};
};

// Calls `condition` every 20 ms until it holds or `milliseconds` pass; true when it held.
template <typename Condition>
bool WaitUntil(DWORD milliseconds, Condition condition) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(20);
    }
}

}  // namespace vindle
