// Scenarios on what a Windows user meets: real input (SendInput reaches the window on Wine's
// virtual desktop), a right-click on a row, Escape, a change of the monitor's DPI, closing the
// window while dialogs are open over it, and settings kept in the user's folder.
#include <windows.h>

#include <commctrl.h>

#include <cmath>
#include <string>

#include "driver_failure.h"
#include "remote_memory.h"
#include "scenario.h"
#include "window_access.h"
#include "window_ids.h"

namespace vindle {
namespace {

constexpr int kColumns = 4;
constexpr int kColumnPixels = 115;
constexpr int kTooltipPixels = 480;
// 125 %: the window, moved to the top, still fits the test's 768-pixel-high screen.
constexpr UINT kChangedDpi = 120;
constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

void SendInputs(std::initializer_list<INPUT> inputs) {
    for (INPUT input : inputs) {
        Expect(SendInput(1, &input, sizeof input) == 1, "SendInput failed");
        Sleep(30);
    }
}

INPUT MouseInput(DWORD flags, POINT screen = {}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    return input;
}

void PressKey(WORD key) {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = key;
    INPUT up = down;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInputs({down, up});
}

void BringToFront(HWND window) {
    SetForegroundWindow(window);
    Expect(WaitUntil(2000, [&] { return GetForegroundWindow() == window; }),
           "the main window does not come to the foreground");
}

// A top-level window of the program with the given class, or null.
HWND ProgramWindow(Session& session, const wchar_t* windowClass) {
    struct Search {
        DWORD process;
        const wchar_t* windowClass;
        HWND found;
    } search{session.app.Id(), windowClass, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(parameter);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == search.process && ClassName(window) == search.windowClass) {
                search.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring ClipboardText() {
    std::wstring text;
    if (WaitUntil(2000, [] { return OpenClipboard(nullptr) != FALSE; })) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = chars;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    return text;
}

// A cell's middle on the screen.
POINT CellCentre(Session& session, HWND list, int row, int column) {
    RemoteMemory memory(session.app.Handle(), sizeof(RECT));
    RECT rect{};
    rect.top = column;
    rect.left = LVIR_BOUNDS;
    memory.Put(0, rect);
    Expect(Send(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), memory.At()) != 0,
           "the list gives no rectangle for row " + std::to_string(row));
    rect = memory.Get<RECT>(0);
    POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(list, &centre);
    return centre;
}

int Width(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect.right - rect.left;
}

// What follows the DPI: the texts' heights on the screen, the status line's width, the tooltip's
// width and the columns' widths.
struct Scale {
    int title;
    int statusFont;
    int statusWidth;
    int tooltip;
    int columns[kColumns];
};

Scale ReadScale(Session& session) {
    HWND list = Child(session.main, ids::kDeviceList);
    HWND status = Child(session.main, ids::kStatusLine);
    HWND tooltip = ProgramWindow(session, TOOLTIPS_CLASSW);
    Expect(tooltip != nullptr, "the status line has no tooltip");
    Scale scale{InkHeight(Child(session.main, ids::kTitle)),
                InkHeight(status),
                Width(status),
                static_cast<int>(Send(tooltip, TTM_GETMAXTIPWIDTH)),
                {}};
    for (int column = 0; column < kColumns; ++column) {
        scale.columns[column] = static_cast<int>(Send(list, LVM_GETCOLUMNWIDTH, column));
    }
    return scale;
}

// Tells the window that its monitor now has `dpi`, as the system does.
void ChangeDpi(Session& session, UINT dpi) {
    RECT window{};
    GetWindowRect(session.main, &window);
    OffsetRect(&window, 0, -window.top);
    RemoteMemory memory(session.app.Handle(), sizeof(RECT));
    memory.Put(0, window);
    Send(session.main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), memory.At());
}

bool Near(int value, int expected) {
    return std::abs(value - expected) <= 2;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

}  // namespace

AppDataRedirect::AppDataRedirect(const std::wstring& folder) {
    if (folder.empty()) {
        return;
    }
    Expect(RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                         &m_key) == ERROR_SUCCESS,
           "the user's shell folders cannot be opened in the registry");
    wchar_t previous[MAX_PATH] = {};
    DWORD size = sizeof previous;
    m_hadValue = RegQueryValueExW(m_key, L"AppData", nullptr, &m_type,
                                  reinterpret_cast<BYTE*>(previous), &size) == ERROR_SUCCESS;
    m_previous = previous;
    SetValue(REG_SZ, folder);
}

AppDataRedirect::~AppDataRedirect() {
    if (m_key == nullptr) {
        return;
    }
    if (m_hadValue) {
        SetValue(m_type, m_previous);
    } else {
        RegDeleteValueW(m_key, L"AppData");
    }
    RegCloseKey(m_key);
}

void AppDataRedirect::SetValue(DWORD type, const std::wstring& folder) {
    RegSetValueExW(m_key, L"AppData", 0, type, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

std::string SettingsInUserFolder(Session& session) {
    const std::wstring& file = session.settingsFile;
    Expect(!file.empty(), "no --settings-file given");
    HWND status = Child(session.main, ids::kStatusLine);
    const std::wstring brief = Text(status);
    Expect(Contains(brief, file),
           "the status line does not name " + ToBytes(file) + ": \"" + ToBytes(brief) + "\"");
    Expect(GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES,
           "the window made no settings file in the user's folder");

    // A settings file that may not be written: the configuration dialog's OK says where it is.
    Expect(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY) != 0,
           "the settings file cannot be made read-only");
    PostMessageW(session.main, WM_COMMAND, MAKEWPARAM(ids::kConfigurationCommand, 0), 0);
    HWND dialog = session.app.WaitForTopWindow(ids::kConfigurationCaption, 5000, ids::kDialogClass);
    PostClick(Child(dialog, IDOK));
    HWND box = nullptr;
    WaitUntil(5000, [&] { return (box = FindMessageBox(session.app.Id(), dialog)) != nullptr; });
    const std::wstring message = box != nullptr ? MessageBoxText(box) : L"";
    if (box != nullptr) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    WaitUntil(5000, [&] { return !IsWindow(box); });
    PostClick(Child(dialog, IDCANCEL));
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    Expect(box != nullptr, "OK on a read-only settings file showed no message");
    Expect(Contains(message, file),
           "the message does not name " + ToBytes(file) + ": \"" + ToBytes(message) + "\"");
    return "the status line and the configuration dialog's message name the settings file in "
           "the user's folder, character for character";
}

std::string RowMenu(Session& session) {
    HWND list = Child(session.main, ids::kDeviceList);
    Expect((GetWindowLongW(list, GWL_STYLE) & LVS_SHOWSELALWAYS) != 0,
           "the device list hides its selection without the focus");
    const auto rows = Rows(session.app.Handle(), list, 1);
    Expect(rows.size() >= 2, "too few rows for the context menu");
    SelectRow(session.app.Handle(), list, -1, false);
    SelectRow(session.app.Handle(), list, 0, true);
    BringToFront(session.main);
    // A right-click on the last row's MAC address cell, not on its first column.
    const int row = static_cast<int>(rows.size()) - 1;
    const POINT cell = CellCentre(session, list, row, 1);
    constexpr DWORD kAt = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInputs({MouseInput(kAt, cell), MouseInput(kAt | MOUSEEVENTF_RIGHTDOWN, cell),
                MouseInput(kAt | MOUSEEVENTF_RIGHTUP, cell)});
    Expect(WaitUntil(3000,
                     [&] { return IsWindowVisible(ProgramWindow(session, L"#32768")) != FALSE; }),
           "a right-click on a row's second cell opens no menu");
    Expect(IsRowSelected(list, row) && !IsRowSelected(list, 0),
           "the right-click did not make its row the selection");
    // The menu's fourth item: Open Web Page, Copy, Copy IP Address.
    for (int i = 0; i < 3; ++i) {
        PressKey(VK_DOWN);
    }
    PressKey(VK_RETURN);
    std::wstring copied;
    WaitUntil(3000, [&] { return (copied = ClipboardText()) == rows[row][0]; });
    Expect(copied == rows[row][0],
           "Copy IP Address put \"" + ToBytes(copied) + "\" on the clipboard");

    // The clipboard held by another program: nothing is copied and the status line says so.
    HWND status = Child(session.main, ids::kStatusLine);
    const std::wstring before = Text(status);
    Expect(OpenClipboard(nullptr) != FALSE, "the driver cannot open the clipboard");
    PostMessageW(session.main, WM_COMMAND, MAKEWPARAM(ids::kCopyRowsCommand, 0), 0);
    const bool reported = WaitUntil(3000, [&] { return Text(status) != before; });
    CloseClipboard();
    Expect(reported, "a clipboard that cannot be opened is not reported in the status line");
    return "right-click on row " + std::to_string(row) + "'s second cell selected it; Copy IP " +
           "Address copied it; a busy clipboard: \"" + ToBytes(Text(status)) + "\"";
}

std::string DpiChange(Session& session) {
    const Scale before = ReadScale(session);
    Expect(before.columns[0] == kColumnPixels && before.tooltip == kTooltipPixels,
           "at 96 DPI the columns are " + std::to_string(before.columns[0]) +
               " px and the tooltip " + std::to_string(before.tooltip) + " px wide");
    ChangeDpi(session, kChangedDpi);
    const Scale after = ReadScale(session);
    const auto scaled = [](int value) { return MulDiv(value, kChangedDpi, 96); };
    std::string problems;
    const auto check = [&](bool holds, const std::string& what, int from, int to) {
        if (!holds) {
            problems += " " + what + " " + std::to_string(from) + " -> " + std::to_string(to) + ";";
        }
    };
    check(Near(after.title, scaled(before.title)), "title text height", before.title, after.title);
    check(after.statusFont > before.statusFont && Near(after.statusFont, scaled(before.statusFont)),
          "status text height", before.statusFont, after.statusFont);
    check(Near(after.statusWidth, scaled(before.statusWidth)), "status width", before.statusWidth,
          after.statusWidth);
    check(after.tooltip == scaled(kTooltipPixels), "tooltip", before.tooltip, after.tooltip);
    for (int column = 0; column < kColumns; ++column) {
        check(after.columns[column] == scaled(before.columns[column]), "column",
              before.columns[column], after.columns[column]);
    }
    ChangeDpi(session, 96);
    const Scale back = ReadScale(session);
    check(back.title == before.title && back.columns[0] == kColumnPixels &&
              back.statusWidth == before.statusWidth,
          "back at 96 DPI, title", before.title, back.title);
    Expect(problems.empty(), "after WM_DPICHANGED to 120 DPI:" + problems);
    return "at 120 DPI the title text " + std::to_string(before.title) + " -> " +
           std::to_string(after.title) + " px high, status line " +
           std::to_string(after.statusWidth) + " px, columns " + std::to_string(after.columns[0]) +
           " px, tooltip " + std::to_string(after.tooltip) + " px; back at 96 DPI as before";
}

std::string EscapeKeepsWindow(Session& session) {
    BringToFront(session.main);
    PressKey(VK_ESCAPE);
    Sleep(300);
    Expect(IsWindowVisible(session.main) && !session.app.HasExited(),
           "Escape closed the main window");
    return "Escape sent by SendInput leaves the main window open";
}

std::string CloseWithDialogs(Session& session) {
    // The configuration dialog, and over it the message that refuses an address.
    PostMessageW(session.main, WM_COMMAND, MAKEWPARAM(ids::kConfigurationCommand, 0), 0);
    HWND dialog = session.app.WaitForTopWindow(ids::kConfigurationCaption, 5000, ids::kDialogClass);
    Click(Child(dialog, ids::kSearchSpecified));
    SetIpAddress(Child(dialog, ids::kAddress), {127, 0, 0, 1});
    PostClick(Child(dialog, ids::kAdd));
    Expect(WaitUntil(5000, [&] { return FindMessageBox(session.app.Id(), dialog) != nullptr; }),
           "Add of 127.0.0.1 showed no message");
    Expect(PostMessageW(session.main, WM_CLOSE, 0, 0) != 0, "PostMessage WM_CLOSE failed");
    DWORD exitCode = 0;
    const bool ended = session.app.WaitForExit(5000, exitCode);
    Expect(ended, "the program still runs 5 s after WM_CLOSE with two dialogs open");
    session.closed = true;
    Expect(exitCode == 0, "the program exited with " + std::to_string(exitCode));
    return "WM_CLOSE with the configuration dialog and a message box open closed both, then the "
           "program (exit code 0)";
}

}  // namespace vindle
