#pragma once

#include <windows.h>

#include <utility>
#include <vector>

namespace vindle {

// Keeps a dialog made from a template in scale when it moves to a monitor of another DPI: its
// client size, its controls' places and sizes and the template's font follow the new DPI in
// proportion to the layout the dialog was made with, so repeated moves do not drift.
class DialogDpi {
  public:
    DialogDpi() = default;
    ~DialogDpi();
    DialogDpi(const DialogDpi&) = delete;
    DialogDpi& operator=(const DialogDpi&) = delete;

    // Remembers the dialog's layout and font at its DPI; once its controls exist.
    void Attach(HWND dialog);
    UINT Dpi() const { return m_dpi; }
    // `pixels` at 96 DPI, in the dialog's DPI.
    int Scale(int pixels) const { return MulDiv(pixels, static_cast<int>(m_dpi), 96); }

    // WM_DPICHANGED: the dialog goes to `suggested`'s corner at the size the new DPI gives and
    // every control is laid out anew; `ownFont` keeps the font its owner gave it.
    void Rescale(UINT dpi, const RECT& suggested, HWND ownFont);

  private:
    HWND m_dialog = nullptr;
    UINT m_baseDpi = 96;
    UINT m_dpi = 96;
    SIZE m_baseClient{};
    LOGFONTW m_baseFont{};
    HFONT m_font = nullptr;
    std::vector<std::pair<HWND, RECT>> m_baseRects;
};

}  // namespace vindle
