#pragma once

#include <windows.h>

namespace vindle {

// Keeps Escape from closing a modal dialog run by DialogBoxParamW: while it exists, a WM_KEYDOWN
// of VK_ESCAPE meant for the window or one of its controls is dropped before the dialog's own
// keyboard handling sees it. Other dialogs (About, Configuration, message boxes) still close on
// Escape. One at a time, on the thread that runs the dialog.
class EscapeFilter {
  public:
    EscapeFilter();
    ~EscapeFilter();
    EscapeFilter(const EscapeFilter&) = delete;
    EscapeFilter& operator=(const EscapeFilter&) = delete;

    // The dialog to guard, once it exists.
    void Guard(HWND dialog);
};

}  // namespace vindle
