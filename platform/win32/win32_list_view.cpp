#include "platform/win32/win32_list_view.h"

#include <commctrl.h>

#include "platform/win32/latin1_text.h"

namespace vindle {
namespace {

constexpr UINT kRowStateMask = LVIF_STATE | LVIF_PARAM | LVIF_IMAGE;
constexpr UINT kStateBits = LVIS_SELECTED | LVIS_FOCUSED;

}  // namespace

int Win32ListView::ItemCount() {
    return static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
}

std::string Win32ListView::ItemText(int row, int column) {
    // The list copies at most the buffer less one; a full buffer may mean a longer text.
    std::wstring buffer(256, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<std::size_t>(SendMessageW(
            m_list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size()) {
            return WideToLatin1(std::wstring_view(item.pszText, length));
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

int Win32ListView::InsertItem(int position, const std::string& text) {
    if (position < 0) {
        return -1;
    }
    std::wstring wide = Latin1ToWide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = position;
    item.pszText = wide.data();
    item.lParam = 0;
    return static_cast<int>(
        SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void Win32ListView::SetItemText(int row, int column, const std::string& text) {
    std::wstring wide = Latin1ToWide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(m_list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

void Win32ListView::DeleteItem(int row) {
    SendMessageW(m_list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
}

void Win32ListView::DeleteAllItems() {
    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
}

int Win32ListView::NextSelected(int start) {
    return static_cast<int>(
        SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(start), LVNI_SELECTED));
}

int Win32ListView::SelectedCount() {
    return static_cast<int>(SendMessageW(m_list, LVM_GETSELECTEDCOUNT, 0, 0));
}

ListRowState Win32ListView::RowState(int row) {
    LVITEMW item{};
    item.mask = kRowStateMask;
    item.iItem = row;
    item.stateMask = kStateBits;
    if (!SendMessageW(m_list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        return {};
    }
    ListRowState state;
    state.selected = (item.state & LVIS_SELECTED) != 0;
    state.focused = (item.state & LVIS_FOCUSED) != 0;
    state.itemData = item.lParam;
    state.image = item.iImage;
    return state;
}

void Win32ListView::SetRowState(int row, const ListRowState& state) {
    LVITEMW item{};
    item.mask = kRowStateMask;
    item.iItem = row;
    item.stateMask = kStateBits;
    item.state = (state.selected ? LVIS_SELECTED : 0u) | (state.focused ? LVIS_FOCUSED : 0u);
    item.lParam = state.itemData;
    item.iImage = state.image;
    SendMessageW(m_list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void AddReportColumn(HWND list, int index, const char* title, int pixels) {
    std::wstring text = Latin1ToWide(title);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = MulDiv(pixels, static_cast<int>(GetDpiForWindow(list)), USER_DEFAULT_SCREEN_DPI);
    column.pszText = text.data();
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&column));
}

}  // namespace vindle
