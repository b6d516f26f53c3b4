#pragma once

#include <windows.h>

namespace vindle {

// `pixels` at 96 DPI, scaled to the DPI of the monitor the window is on.
int ScaledPixels(HWND window, int pixels);

// Centres `window` over `over`, or over the work area of its monitor when `over` is null,
// keeping it inside that work area.
void CenterWindow(HWND window, HWND over);

}  // namespace vindle
