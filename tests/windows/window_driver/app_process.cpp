#include "app_process.h"

#include "driver_failure.h"

namespace vindle {
namespace {

std::wstring Quoted(const std::wstring& argument) {
    return L"\"" + argument + L"\"";
}

struct WindowSearch {
    DWORD processId;
    const std::wstring* caption;
    const wchar_t* windowClass;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !IsWindowVisible(window)) {
        return TRUE;
    }
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (*search.caption != text) {
        return TRUE;
    }
    if (search.windowClass != nullptr) {
        wchar_t className[64] = {};
        GetClassNameW(window, className, 64);
        if (lstrcmpW(className, search.windowClass) != 0) {
            return TRUE;
        }
    }
    search.found = window;
    return FALSE;
}

}  // namespace

AppProcess::AppProcess(const std::wstring& exe, const std::vector<std::wstring>& arguments)
    : m_program(exe) {
    std::wstring commandLine = Quoted(exe);
    for (const std::wstring& argument : arguments) {
        commandLine += L" " + Quoted(argument);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &m_info)) {
        throw DriverFailure("cannot start " + ToBytes(exe) + ": " +
                            SystemErrorText(GetLastError()));
    }
}

AppProcess::~AppProcess() {
    Kill();
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
}

HWND AppProcess::FindTopWindow(const std::wstring& caption, const wchar_t* windowClass) const {
    WindowSearch search{m_info.dwProcessId, &caption, windowClass, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND AppProcess::WaitForTopWindow(const std::wstring& caption, DWORD milliseconds,
                                  const wchar_t* windowClass) const {
    HWND window = nullptr;
    WaitUntil(milliseconds, [&] {
        window = FindTopWindow(caption, windowClass);
        return window != nullptr || HasExited();
    });
    Expect(window != nullptr, "no window \"" + ToBytes(caption) + "\" appeared within " +
                                  std::to_string(milliseconds) + " ms" +
                                  (HasExited() ? " (the program has ended)" : ""));
    return window;
}

std::string AppProcess::DescribeWindows() const {
    struct Listing {
        DWORD processId;
        std::string text;
    } listing{m_info.dwProcessId, {}};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& listing = *reinterpret_cast<Listing*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == listing.processId && IsWindowVisible(window)) {
                wchar_t caption[256] = {};
                GetWindowTextW(window, caption, 256);
                listing.text += (listing.text.empty() ? "\"" : ", \"") + ToBytes(caption) + "\"";
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&listing));
    return listing.text.empty() ? "no window" : listing.text;
}

bool AppProcess::HasExited() const {
    return WaitForSingleObject(m_info.hProcess, 0) == WAIT_OBJECT_0;
}

bool AppProcess::WaitForExit(DWORD milliseconds, DWORD& exitCode) const {
    if (WaitForSingleObject(m_info.hProcess, milliseconds) != WAIT_OBJECT_0) {
        return false;
    }
    GetExitCodeProcess(m_info.hProcess, &exitCode);
    return true;
}

void AppProcess::Kill() {
    if (!HasExited()) {
        TerminateProcess(m_info.hProcess, 99);
        WaitForSingleObject(m_info.hProcess, 5000);
    }
}

}  // namespace vindle
