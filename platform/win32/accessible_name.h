#pragma once

#include <windows.h>

namespace vindle {

// Names a control for screen readers where no label stands before it in tab order (the device
// list, the parts of an IP address control). COM must be started on the thread. False when the
// system's accessibility services refused.
bool SetAccessibleName(HWND control, const wchar_t* name);

// Names each of the four parts of a SysIPAddress32 "<name>, part N of 4", left to right.
void SetIpAddressAccessibleNames(HWND control, const wchar_t* name);

// Removes the names set on `control` and its children; call it before they are destroyed.
void ClearAccessibleNames(HWND control);

}  // namespace vindle
