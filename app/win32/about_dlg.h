#pragma once

#include <windows.h>

// The About box (template 131): the product, its version and a notice. OK, Enter, Escape and the
// close box end it.
class CAboutDlg {
  public:
    // Runs the box modally over `owner`.
    INT_PTR DoModal(HWND owner);

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};
