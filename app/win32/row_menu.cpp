#include "app/win32/row_menu.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/win32/resource.h"
#include "discovery/device_list_rules.h"
#include "platform/win32/win32_list_view.h"

namespace vindle {
namespace {

int RowAt(HWND list, POINT screen) {
    LVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(list, &hit.pt);
    SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    return (hit.flags & LVHT_ONITEM) != 0 ? hit.iItem : -1;
}

void SelectOnly(HWND list, int row) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// The focused row's middle, for a menu opened from the keyboard; -1 when it is not selected.
int FocusedRow(HWND list, POINT& screen) {
    const int row = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    if (row < 0 || ListView_GetItemState(list, row, LVIS_SELECTED) == 0) {
        return -1;
    }
    ListView_EnsureVisible(list, row, FALSE);
    RECT rect{};
    ListView_GetItemRect(list, row, &rect, LVIR_LABEL);
    screen = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(list, &screen);
    return row;
}

}  // namespace

RowMenuChoice TrackRowMenu(HWND list, HWND owner, LPARAM position) {
    POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    const int row = position == -1 ? FocusedRow(list, point) : RowAt(list, point);
    if (row < 0) {
        return {};
    }
    if (ListView_GetItemState(list, row, LVIS_SELECTED) == 0) {
        SelectOnly(list, row);
    }
    RowMenuChoice choice;
    choice.address = Win32ListView(list).ItemText(row, kIpAddressColumn);
    const HMENU menus = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ROW_MENU));
    if (HMENU menu = GetSubMenu(menus, 0)) {
        SetMenuDefaultItem(menu, ID_ROW_OPEN_WEB_PAGE, FALSE);
        choice.command =
            static_cast<UINT>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                               point.x, point.y, owner, nullptr));
    }
    DestroyMenu(menus);
    return choice;
}

}  // namespace vindle
