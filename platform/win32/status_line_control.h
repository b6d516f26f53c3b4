#pragma once

#include <windows.h>

#include <string>

namespace vindle {

// The main window's status line: a static text whose tooltip shows the longer text (the file's
// path and the system's reason for a settings problem), or the text itself.
class StatusLineControl {
  public:
    // The static text; the tooltip is made for it and destroyed with the dialog.
    void Attach(HWND text);
    // The tooltip's width follows the dialog's DPI.
    void SetDpi(UINT dpi);
    // `details`, when not empty, is the tooltip; otherwise the text itself.
    void Show(const std::wstring& text, const std::wstring& details);

  private:
    void SetTip(UINT message, std::wstring tip);

    HWND m_text = nullptr;
    HWND m_tooltip = nullptr;
};

}  // namespace vindle
