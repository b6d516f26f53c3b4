#include "platform/win32/status_line_control.h"

#include <commctrl.h>

namespace vindle {
namespace {

constexpr int kTooltipWidthPixels = 480;

}  // namespace

void StatusLineControl::Attach(HWND text) {
    m_text = text;
    // Owned by the dialog, so it goes with it.
    m_tooltip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, GetParent(text), nullptr, nullptr, nullptr);
    SetTip(TTM_ADDTOOLW, L" ");
}

void StatusLineControl::SetDpi(UINT dpi) {
    SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0,
                 MulDiv(kTooltipWidthPixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI));
}

void StatusLineControl::Show(const std::wstring& text, const std::wstring& details) {
    SetWindowTextW(m_text, text.c_str());
    SetTip(TTM_UPDATETIPTEXTW, details.empty() ? text : details);
}

void StatusLineControl::SetTip(UINT message, std::wstring tip) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(m_text);
    tool.uId = reinterpret_cast<UINT_PTR>(m_text);
    // The tooltip keeps a copy.
    tool.lpszText = tip.data();
    SendMessageW(m_tooltip, message, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace vindle
