#pragma once

#include <windows.h>

#include <utility>
#include <vector>

namespace vindle {

// Keeps a dialog made from a template in scale when it moves to a monitor of another DPI: its
// client size, its controls' places and sizes, the template's font, one control's font of its
// own, a report list's column widths and the caption's icons follow the new DPI, in proportion to
// the layout the dialog was made with, so repeated moves do not drift.
class DialogDpi {
  public:
    DialogDpi() = default;
    ~DialogDpi();
    DialogDpi(const DialogDpi&) = delete;
    DialogDpi& operator=(const DialogDpi&) = delete;

    // Remembers the dialog's layout and font at its DPI; once its controls exist.
    void Attach(HWND dialog);
    UINT Dpi() const { return m_dpi; }
    // `control`'s own font: `font` with its height in pixels at 96 DPI.
    void SetOwnFont(HWND control, const LOGFONTW& font);
    // The caption's icons from icon resource `id`, each from the image of its own size.
    void SetIcons(int id);
    HICON BigIcon() const { return m_icons[ICON_BIG]; }
    // A report list whose column widths follow.
    void KeepColumns(HWND list) { m_list = list; }

    // WM_DPICHANGED: the dialog goes to `suggested`'s corner at the size the new DPI gives and
    // everything is laid out anew.
    void Rescale(UINT dpi, const RECT& suggested);

  private:
    int Scale(int value, UINT from) const;
    void ApplyOwnFont();
    static void Replace(HGDIOBJ& object, HGDIOBJ replacement);

    HWND m_dialog = nullptr;
    UINT m_baseDpi = USER_DEFAULT_SCREEN_DPI;
    UINT m_dpi = USER_DEFAULT_SCREEN_DPI;
    SIZE m_baseClient{};
    LOGFONTW m_baseFont{};
    std::vector<std::pair<HWND, RECT>> m_baseRects;
    HGDIOBJ m_font = nullptr;
    HWND m_ownFontControl = nullptr;
    LOGFONTW m_ownFont{};
    HGDIOBJ m_ownFontHandle = nullptr;
    int m_iconId = 0;
    HICON m_icons[2] = {};
    HWND m_list = nullptr;
};

}  // namespace vindle
