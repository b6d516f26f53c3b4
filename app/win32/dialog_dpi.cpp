#include "app/win32/dialog_dpi.h"

namespace vindle {

DialogDpi::~DialogDpi() {
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
}

void DialogDpi::Attach(HWND dialog) {
    m_dialog = dialog;
    const UINT dpi = GetDpiForWindow(dialog);
    m_baseDpi = m_dpi = dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
    RECT client{};
    GetClientRect(dialog, &client);
    m_baseClient = {client.right, client.bottom};
    const auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    GetObjectW(font, sizeof m_baseFont, &m_baseFont);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        m_baseRects.emplace_back(child, rect);
    }
}

void DialogDpi::Rescale(UINT dpi, const RECT& suggested, HWND ownFont) {
    if (m_dialog == nullptr || dpi == 0) {
        return;
    }
    m_dpi = dpi;
    const auto scale = [&](LONG value) {
        return MulDiv(value, static_cast<int>(dpi), static_cast<int>(m_baseDpi));
    };
    RECT frame{0, 0, scale(m_baseClient.cx), scale(m_baseClient.cy)};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongW(m_dialog, GWL_STYLE)),
                             GetMenu(m_dialog) != nullptr,
                             static_cast<DWORD>(GetWindowLongW(m_dialog, GWL_EXSTYLE)), dpi);
    SetWindowPos(m_dialog, nullptr, suggested.left, suggested.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);

    LOGFONTW font = m_baseFont;
    font.lfHeight = scale(m_baseFont.lfHeight);
    const HFONT previous = m_font;
    m_font = CreateFontIndirectW(&font);
    for (const auto& [child, rect] : m_baseRects) {
        SetWindowPos(child, nullptr, scale(rect.left), scale(rect.top),
                     scale(rect.right - rect.left), scale(rect.bottom - rect.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (child != ownFont && m_font != nullptr) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
        }
    }
    if (previous != nullptr) {
        DeleteObject(previous);
    }
}

}  // namespace vindle
