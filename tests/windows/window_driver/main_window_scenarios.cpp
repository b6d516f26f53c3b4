// Scenarios on the main window: its controls at start, a search, Browse, sorting, Stop, closing.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "driver_failure.h"
#include "scenario.h"
#include "window_access.h"
#include "window_ids.h"

namespace vindle {
namespace {

constexpr int kColumns = 4;
constexpr DWORD kSearchLimitMs = 60000;

std::string Quote(const std::wstring& text) {
    return "\"" + ToBytes(text) + "\"";
}

void ExpectText(HWND window, const std::wstring& expected, const std::string& what) {
    const std::wstring text = Text(window);
    Expect(text == expected, what + " reads " + Quote(text) + ", not " + Quote(expected));
}

void ExpectClass(HWND window, const std::wstring& expected, const std::string& what) {
    const std::wstring name = ClassName(window);
    Expect(name == expected, what + " is a " + Quote(name) + ", not a " + Quote(expected));
}

std::string Joined(const ListRow& row) {
    std::string line;
    for (const std::wstring& cell : row) {
        line += (line.empty() ? "" : "\t") + ToBytes(cell);
    }
    return line;
}

// Clicks "Retrieve" and checks that the window shows a running search.
void StartSearch(Session& session) {
    HWND retrieve = Child(session.main, ids::kRetrieve);
    HWND stop = Child(session.main, ids::kStop);
    Expect(IsWindowEnabled(retrieve), "Retrieve is disabled before the search");
    Click(retrieve);
    Expect(!IsWindowEnabled(retrieve), "Retrieve stays enabled after its click");
    Expect(WaitUntil(2000, [&] { return IsWindowVisible(stop) != FALSE; }),
           "Stop is not shown while a search runs");
}

int SelectedRow(HWND list) {
    int selected = -1;
    const int count = ItemCount(list);
    for (int row = 0; row < count; ++row) {
        if (IsRowSelected(list, row)) {
            Expect(selected == -1, "more than one row is selected after the sort");
            selected = row;
        }
    }
    Expect(selected != -1, "no row is selected after the sort");
    return selected;
}

// Sorts by a click on `column`'s header and checks the order and that rows and the selection
// stayed whole.
std::vector<ListRow> SortAndCheck(Session& session, int column, bool ascending,
                                  const std::vector<ListRow>& before, const ListRow& selected) {
    HWND list = Child(session.main, ids::kDeviceList);
    ClickHeader(session.app.Handle(), list, column);
    std::vector<ListRow> after = Rows(session.app.Handle(), list, kColumns);
    auto sortedBefore = before;
    auto sortedAfter = after;
    std::sort(sortedBefore.begin(), sortedBefore.end());
    std::sort(sortedAfter.begin(), sortedAfter.end());
    Expect(sortedBefore == sortedAfter, "the sort changed the rows' contents");
    for (std::size_t i = 1; i < after.size(); ++i) {
        const std::wstring& previous = after[i - 1][column];
        const std::wstring& next = after[i][column];
        Expect(ascending ? previous <= next : previous >= next,
               std::string(ascending ? "ascending" : "descending") + " sort puts " +
                   Quote(previous) + " before " + Quote(next));
    }
    const int row = SelectedRow(list);
    Expect(after[static_cast<std::size_t>(row)] == selected,
           "the selection did not move with its row: " + Joined(after[row]));
    return after;
}

// The main window has a menu, and menu 130 in the program's resources has the menus and items.
// The menu is read from the file: Wine's menus cannot be read from another process.
void ExpectMenu(HWND main, const std::wstring& program) {
    constexpr int kMenuResource = 130;
    Expect(GetMenu(main) != nullptr, "the main window has no menu");
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    Expect(module != nullptr, "cannot read the resources of " + ToBytes(program));
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(kMenuResource));
    const auto text = [&](UINT item, UINT flags) {
        wchar_t buffer[64] = {};
        GetMenuStringW(menu, item, buffer, 64, flags);
        return std::wstring(buffer);
    };
    std::string problem;
    const std::pair<UINT, const wchar_t*> menus[] = {{0, L"Tool(&T)"}, {1, L"Help(&H)"}};
    for (const auto& [position, expected] : menus) {
        if (text(position, MF_BYPOSITION) != expected) {
            problem += " menu " + std::to_string(position) + " reads " +
                       Quote(text(position, MF_BYPOSITION)) + ";";
        }
    }
    const std::pair<UINT, const wchar_t*> items[] = {
        {ids::kConfigurationCommand, L"Configuration(&C)"},
        {ids::kSaveListAsCommand, L"Save List As(&S)..."},
        {ids::kAboutCommand, L"About(&A)"}};
    for (const auto& [command, expected] : items) {
        if (text(command, MF_BYCOMMAND) != expected) {
            problem += " command " + std::to_string(command) + " reads " +
                       Quote(text(command, MF_BYCOMMAND)) + ";";
        }
    }
    if (menu != nullptr) {
        DestroyMenu(menu);
    }
    FreeLibrary(module);
    Expect(menu != nullptr, "the program has no menu resource 130");
    Expect(problem.empty(), "menu resource 130:" + problem);
}

}  // namespace

std::string ControlsAtStart(Session& session) {
    HWND main = session.main;
    ExpectClass(main, ids::kDialogClass, "the main window");
    const LONG style = GetWindowLongW(main, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(main, GWL_EXSTYLE);
    Expect((style & WS_MINIMIZEBOX) && (style & WS_SYSMENU) && !(style & WS_MAXIMIZEBOX) &&
               !(style & WS_THICKFRAME),
           "the main window's frame is not: minimise box, system menu, no maximise box, "
           "fixed size");
    Expect((exStyle & WS_EX_APPWINDOW) != 0, "the main window has no task-bar button style");
    ExpectMenu(main, session.app.Program());

    HWND retrieve = Child(main, ids::kRetrieve);
    ExpectClass(retrieve, L"Button", "Retrieve");
    ExpectText(retrieve, L"Retrieve", "Retrieve");
    Expect(IsWindowEnabled(retrieve), "Retrieve is disabled at start");
    Expect((GetWindowLongW(retrieve, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON,
           "Retrieve is not the default push button");

    HWND browse = Child(main, ids::kBrowse);
    ExpectText(browse, L"Browse", "Browse");
    Expect(!IsWindowEnabled(browse), "Browse is enabled at start");

    HWND title = Child(main, ids::kTitle);
    ExpectClass(title, L"Static", "the title");
    ExpectText(title, L"Qarv Vindle", "the title");

    HWND status = Child(main, ids::kStatusLine);
    ExpectClass(status, L"Static", "the status line");
    Expect(IsWindowVisible(status), "the status line is hidden");
    HWND stop = Child(main, ids::kStop);
    ExpectText(stop, L"Stop", "Stop");
    Expect(!IsWindowVisible(stop), "Stop is shown before any search");

    HWND list = Child(main, ids::kDeviceList);
    ExpectClass(list, L"SysListView32", "the device list");
    Expect((GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT,
           "the device list is not in report view");
    Expect(!(GetWindowLongW(list, GWL_STYLE) & LVS_SINGLESEL),
           "the device list allows only one selected row");
    Expect(ColumnCount(list) == kColumns,
           "the device list has " + std::to_string(ColumnCount(list)) + " columns");
    const wchar_t* titles[kColumns] = {L"IP Address", L"MAC Address", L"Model number",
                                       L"Serial number"};
    for (int column = 0; column < kColumns; ++column) {
        const std::wstring heading = ColumnTitle(session.app.Handle(), list, column);
        Expect(heading == titles[column], "column " + std::to_string(column) + " is " +
                                              Quote(heading) + ", not " + Quote(titles[column]));
    }
    Expect(ItemCount(list) == 0, "the device list has rows at start");
    return "template 102's controls, texts and states, menu 130; status line shown, Stop "
           "hidden; 4 columns; status \"" +
           ToBytes(Text(status)) + "\"";
}

std::string BroadcastSearch(Session& session) {
    HWND retrieve = Child(session.main, ids::kRetrieve);
    HWND stop = Child(session.main, ids::kStop);
    HWND status = Child(session.main, ids::kStatusLine);
    const ULONGLONG start = GetTickCount64();
    StartSearch(session);
    const std::wstring searching = Text(status);
    Expect(WaitUntil(kSearchLimitMs, [&] { return IsWindowEnabled(retrieve) != FALSE; }),
           "the search did not end within " + std::to_string(kSearchLimitMs / 1000) + " s");
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    Expect(WaitUntil(2000, [&] { return IsWindowVisible(stop) == FALSE; }),
           "Stop is still shown after the search");
    const auto rows = Rows(session.app.Handle(), Child(session.main, ids::kDeviceList), kColumns);
    Expect(!rows.empty(), "the search listed no printer");
    for (const ListRow& row : rows) {
        std::printf("ROW\t%s\n", Joined(row).c_str());
    }
    char summary[256];
    std::snprintf(summary, sizeof summary,
                  "%zu rows in %.1f s; status while searching \"%s\", "
                  "after \"%s\"",
                  rows.size(), seconds, ToBytes(searching).c_str(), ToBytes(Text(status)).c_str());
    return summary;
}

std::string BrowseSelected(Session& session) {
    HWND browse = Child(session.main, ids::kBrowse);
    HWND list = Child(session.main, ids::kDeviceList);
    Expect(!IsWindowEnabled(browse), "Browse is enabled before any row was selected");
    const auto rows = Rows(session.app.Handle(), list, 1);
    const auto found = std::find(rows.begin(), rows.end(), ListRow{session.browseAddress});
    Expect(found != rows.end(), "no row for " + Quote(session.browseAddress));
    const int row = static_cast<int>(found - rows.begin());
    SelectRow(session.app.Handle(), list, -1, false);
    SelectRow(session.app.Handle(), list, row, true);
    Expect(IsWindowEnabled(browse), "Browse stays disabled with a row selected");

    Expect(!session.browserRecord.empty(), "no --browser-record file given");
    DeleteFileW(session.browserRecord.c_str());
    // Posted: the shell launch may take longer than a sent message may wait.
    PostClick(browse);
    std::string launched;
    const bool written = WaitUntil(15000, [&] {
        std::ifstream file(std::filesystem::path(session.browserRecord), std::ios::binary);
        launched.assign(std::istreambuf_iterator<char>(file), {});
        return file.is_open() && !launched.empty();
    });
    Expect(written, "the stand-in browser was not started within 15 s");
    const std::string expected = "http://" + ToBytes(session.browseAddress);
    Expect(launched == expected,
           "the browser was given \"" + launched + "\", not \"" + expected + "\"");
    return "a selection enables Browse; the browser was given \"" + launched + "\"";
}

std::string SortByHeader(Session& session) {
    constexpr int kModelColumn = 2;
    HWND list = Child(session.main, ids::kDeviceList);
    const auto before = Rows(session.app.Handle(), list, kColumns);
    Expect(before.size() >= 2, "too few rows to sort");
    // The last row is selected alone; it must travel with its texts.
    const int last = static_cast<int>(before.size()) - 1;
    SelectRow(session.app.Handle(), list, -1, false);
    SelectRow(session.app.Handle(), list, last, true);
    const ListRow& selected = before.back();
    const auto ascending = SortAndCheck(session, kModelColumn, true, before, selected);
    const auto descending = SortAndCheck(session, kModelColumn, false, ascending, selected);
    Expect(ascending != before || descending != before, "no header click changed the order");
    return "Model number ascending then descending over " + std::to_string(before.size()) +
           " rows; the selected row moved with its texts";
}

std::string StopSearch(Session& session) {
    HWND retrieve = Child(session.main, ids::kRetrieve);
    HWND stop = Child(session.main, ids::kStop);
    StartSearch(session);
    Sleep(500);
    Expect(!IsWindowEnabled(retrieve), "the search ended before Stop could be clicked");
    const ULONGLONG start = GetTickCount64();
    Click(stop);
    Expect(WaitUntil(3000, [&] { return IsWindowEnabled(retrieve) != FALSE; }),
           "Retrieve is not enabled within 3 s of Stop");
    const ULONGLONG elapsed = GetTickCount64() - start;
    Expect(WaitUntil(1000, [&] { return IsWindowVisible(stop) == FALSE; }),
           "Stop is still shown after the search stopped");
    const std::wstring status = Text(Child(session.main, ids::kStatusLine));
    Expect(status.starts_with(L"Stopped"), "the status line reads " + Quote(status));
    return "Retrieve enabled " + std::to_string(elapsed) + " ms after Stop; status " +
           Quote(status);
}

std::string CloseWhileSearching(Session& session) {
    StartSearch(session);
    Sleep(500);
    Expect(!IsWindowEnabled(Child(session.main, ids::kRetrieve)),
           "the search ended before the window could be closed");
    const ULONGLONG start = GetTickCount64();
    Expect(PostMessageW(session.main, WM_CLOSE, 0, 0) != 0, "PostMessage WM_CLOSE failed");
    DWORD exitCode = 0;
    const bool ended = session.app.WaitForExit(2500, exitCode);
    const ULONGLONG elapsed = GetTickCount64() - start;
    Expect(ended, "the program still runs 2.5 s after WM_CLOSE during a search");
    session.closed = true;
    Expect(exitCode == 0, "the program exited with " + std::to_string(exitCode));
    return "the program exited 0 " + std::to_string(elapsed) + " ms after WM_CLOSE";
}

std::string Screenshot(Session& session) {
    Expect(!session.screenshot.empty(), "no --screenshot file given");
    SetForegroundWindow(session.main);
    RedrawWindow(session.main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Sleep(700);
    CaptureWindow(session.main, session.screenshot);
    return "window written to " + ToBytes(session.screenshot);
}

}  // namespace vindle
