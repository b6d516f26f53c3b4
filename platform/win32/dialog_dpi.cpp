#include "platform/win32/dialog_dpi.h"

#include <commctrl.h>

namespace vindle {

DialogDpi::~DialogDpi() {
    Replace(m_font, nullptr);
    Replace(m_ownFontHandle, nullptr);
    for (HICON icon : m_icons) {
        DestroyIcon(icon);
    }
}

void DialogDpi::Attach(HWND dialog) {
    m_dialog = dialog;
    const UINT dpi = GetDpiForWindow(dialog);
    m_baseDpi = m_dpi = dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
    RECT client{};
    GetClientRect(dialog, &client);
    m_baseClient = {client.right, client.bottom};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof m_baseFont,
               &m_baseFont);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        m_baseRects.emplace_back(child, rect);
    }
}

int DialogDpi::Scale(int value, UINT from) const {
    return MulDiv(value, static_cast<int>(m_dpi), static_cast<int>(from));
}

void DialogDpi::Replace(HGDIOBJ& object, HGDIOBJ replacement) {
    if (object != nullptr) {
        DeleteObject(object);
    }
    object = replacement;
}

void DialogDpi::SetOwnFont(HWND control, const LOGFONTW& font) {
    m_ownFontControl = control;
    m_ownFont = font;
    ApplyOwnFont();
}

void DialogDpi::ApplyOwnFont() {
    LOGFONTW font = m_ownFont;
    font.lfHeight = Scale(font.lfHeight, USER_DEFAULT_SCREEN_DPI);
    const HFONT handle = CreateFontIndirectW(&font);
    SendMessageW(m_ownFontControl, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
    // The control used the old font until now.
    Replace(m_ownFontHandle, handle);
}

void DialogDpi::SetIcons(int id) {
    m_iconId = id;
    for (const int kind : {ICON_BIG, ICON_SMALL}) {
        const int size = GetSystemMetricsForDpi(kind == ICON_BIG ? SM_CXICON : SM_CXSMICON, m_dpi);
        const HICON previous = m_icons[kind];
        m_icons[kind] = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
        SendMessageW(m_dialog, WM_SETICON, kind, reinterpret_cast<LPARAM>(m_icons[kind]));
        DestroyIcon(previous);
    }
}

void DialogDpi::Rescale(UINT dpi, const RECT& suggested) {
    if (m_dialog == nullptr || dpi == 0) {
        return;
    }
    const UINT previous = m_dpi;
    m_dpi = dpi;
    RECT frame{0, 0, Scale(m_baseClient.cx, m_baseDpi), Scale(m_baseClient.cy, m_baseDpi)};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongW(m_dialog, GWL_STYLE)),
                             GetMenu(m_dialog) != nullptr,
                             static_cast<DWORD>(GetWindowLongW(m_dialog, GWL_EXSTYLE)), dpi);
    SetWindowPos(m_dialog, nullptr, suggested.left, suggested.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);

    LOGFONTW font = m_baseFont;
    font.lfHeight = Scale(m_baseFont.lfHeight, m_baseDpi);
    const HFONT handle = CreateFontIndirectW(&font);
    for (const auto& [child, rect] : m_baseRects) {
        SetWindowPos(child, nullptr, Scale(rect.left, m_baseDpi), Scale(rect.top, m_baseDpi),
                     Scale(rect.right - rect.left, m_baseDpi),
                     Scale(rect.bottom - rect.top, m_baseDpi), SWP_NOZORDER | SWP_NOACTIVATE);
        if (child != m_ownFontControl) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
        }
    }
    Replace(m_font, handle);
    if (m_ownFontControl != nullptr) {
        ApplyOwnFont();
    }
    if (m_iconId != 0) {
        SetIcons(m_iconId);
    }
    const int columns = m_list != nullptr ? Header_GetItemCount(ListView_GetHeader(m_list)) : 0;
    for (int column = 0; column < columns; ++column) {
        ListView_SetColumnWidth(m_list, column,
                                Scale(ListView_GetColumnWidth(m_list, column), previous));
    }
}

}  // namespace vindle
