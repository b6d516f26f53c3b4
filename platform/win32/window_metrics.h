#pragma once

#include <windows.h>

namespace vindle {

// Centres `window` over `over`, or over the work area of its monitor when `over` is null,
// keeping it inside that work area.
void CenterWindow(HWND window, HWND over);

}  // namespace vindle
