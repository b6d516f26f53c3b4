#pragma once

#include <windows.h>

namespace vindle {

// The object a dialog procedure serves: the lParam of WM_INITDIALOG (from DialogBoxParamW), kept
// in the dialog's DWLP_USER; null for the few messages that come before WM_INITDIALOG. On
// WM_INITDIALOG the object's window handle member `window` is set to the dialog.
template <class Dialog>
Dialog* DialogObject(HWND dialog, UINT message, LPARAM lParam, HWND Dialog::*window) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<Dialog*>(lParam)->*window = dialog;
    }
    return reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

}  // namespace vindle
