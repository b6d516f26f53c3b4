#pragma once

#include <windows.h>

#include <string>

namespace vindle {

// The command chosen in the device list's context menu and the address of the row it was
// opened on (read before the menu opened: a running search may move rows meanwhile).
struct RowMenuChoice {
    UINT command = 0;
    std::string address;
};

// WM_CONTEXTMENU from the list: `position` is the mouse's screen position, or -1 for the
// keyboard (the menu key, Shift+F10). A click on any cell of a row not yet selected makes that
// row the selection first, as Explorer does; from the keyboard the menu belongs to the focused
// row while it is selected. Elsewhere no menu opens and the command is 0.
RowMenuChoice TrackRowMenu(HWND list, HWND owner, LPARAM position);

}  // namespace vindle
