#include "window_access.h"

#include <commctrl.h>

#include "driver_failure.h"
#include "remote_memory.h"

namespace vindle {
namespace {

constexpr UINT kSendTimeoutMs = 5000;
constexpr int kTextCapacity = 512;

}  // namespace

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs,
                            &result) == 0) {
        throw DriverFailure("message " + std::to_string(message) + " to a window got no answer" +
                            " within " + std::to_string(kSendTimeoutMs) + " ms");
    }
    return static_cast<LRESULT>(result);
}

HWND Child(HWND dialog, int id) {
    HWND child = GetDlgItem(dialog, id);
    Expect(child != nullptr, "no control with id " + std::to_string(id));
    return child;
}

std::wstring Text(HWND window) {
    wchar_t buffer[kTextCapacity] = {};
    // WM_GETTEXT is carried across processes by the system.
    const LRESULT length =
        Send(window, WM_GETTEXT, kTextCapacity, reinterpret_cast<LPARAM>(buffer));
    return std::wstring(buffer, static_cast<std::size_t>(length));
}

void SetText(HWND window, const std::wstring& text) {
    Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

void Click(HWND button) {
    Send(button, BM_CLICK);
}

void PostClick(HWND button) {
    Expect(PostMessageW(button, BM_CLICK, 0, 0) != 0, "PostMessage failed");
}

int ItemCount(HWND list) {
    return static_cast<int>(Send(list, LVM_GETITEMCOUNT));
}

std::wstring CellText(HANDLE process, HWND list, int row, int column) {
    constexpr std::size_t kTextOffset = sizeof(LVITEMW);
    RemoteMemory memory(process, kTextOffset + kTextCapacity * sizeof(wchar_t));
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(memory.At(kTextOffset));
    item.cchTextMax = kTextCapacity;
    memory.Put(0, item);
    const LRESULT length = Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), memory.At());
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    if (length > 0) {
        memory.Read(kTextOffset, text.data(), text.size() * sizeof(wchar_t));
    }
    return text;
}

std::vector<ListRow> Rows(HANDLE process, HWND list, int columns) {
    std::vector<ListRow> rows;
    const int count = ItemCount(list);
    for (int row = 0; row < count; ++row) {
        ListRow cells;
        for (int column = 0; column < columns; ++column) {
            cells.push_back(CellText(process, list, row, column));
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

std::wstring ColumnTitle(HANDLE process, HWND list, int column) {
    constexpr std::size_t kTextOffset = sizeof(LVCOLUMNW);
    RemoteMemory memory(process, kTextOffset + kTextCapacity * sizeof(wchar_t));
    LVCOLUMNW record{};
    record.mask = LVCF_TEXT;
    record.pszText = reinterpret_cast<wchar_t*>(memory.At(kTextOffset));
    record.cchTextMax = kTextCapacity;
    memory.Put(0, record);
    Expect(Send(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), memory.At()) != 0,
           "the list has no column " + std::to_string(column));
    wchar_t text[kTextCapacity] = {};
    memory.Read(kTextOffset, text, sizeof text - sizeof(wchar_t));
    return text;
}

int ColumnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER));
    Expect(header != nullptr, "the list has no header");
    return static_cast<int>(Send(header, HDM_GETITEMCOUNT));
}

bool IsRowSelected(HWND list, int row) {
    return (Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) &
            LVIS_SELECTED) != 0;
}

void SelectRow(HANDLE process, HWND list, int row, bool selected) {
    RemoteMemory memory(process, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    memory.Put(0, item);
    Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), memory.At());
}

void ClickHeader(HANDLE process, HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER));
    Expect(header != nullptr, "the list has no header");
    RemoteMemory memory(process, sizeof(RECT));
    Expect(Send(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), memory.At()) != 0,
           "the header has no item " + std::to_string(column));
    const RECT rect = memory.Get<RECT>(0);
    const LPARAM middle = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    // Sent, not posted: the header notifies the list and the list its dialog before the button
    // release returns, so the sort has finished when this does.
    Send(header, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    Send(header, WM_LBUTTONUP, 0, middle);
}

void SetIpAddress(HWND control, const std::array<int, 4>& fields) {
    Send(control, IPM_SETADDRESS, 0,
         static_cast<LPARAM>(MAKEIPADDRESS(fields[0], fields[1], fields[2], fields[3])));
}

std::array<int, 4> IpAddress(HANDLE process, HWND control) {
    RemoteMemory memory(process, sizeof(DWORD));
    memory.Put<DWORD>(0, 0);
    Send(control, IPM_GETADDRESS, 0, memory.At());
    const DWORD value = memory.Get<DWORD>(0);
    return {FIRST_IPADDRESS(value), SECOND_IPADDRESS(value), THIRD_IPADDRESS(value),
            FOURTH_IPADDRESS(value)};
}

namespace {

struct BoxSearch {
    DWORD processId;
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<BoxSearch*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search.processId && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == search.owner && ClassName(window) == L"#32770") {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindMessageBox(DWORD processId, HWND owner) {
    BoxSearch search{processId, owner, nullptr};
    EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text != nullptr ? Text(text) : L"";
}

}  // namespace vindle
