#include "app/win32/status_line_control.h"

#include <commctrl.h>

namespace vindle {
namespace {

constexpr int kTooltipWidthPixels = 480;

TTTOOLINFOW ToolFor(HWND text, wchar_t* tip) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(text);
    tool.uId = reinterpret_cast<UINT_PTR>(text);
    tool.lpszText = tip;
    return tool;
}

}  // namespace

void StatusLineControl::Attach(HWND text) {
    m_text = text;
    // Owned by the dialog, so it goes with it.
    m_tooltip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, GetParent(text), nullptr, nullptr, nullptr);
    if (m_tooltip == nullptr) {
        return;
    }
    m_tip = L" ";
    TTTOOLINFOW tool = ToolFor(m_text, m_tip.data());
    SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void StatusLineControl::SetDpi(UINT dpi) {
    if (m_tooltip != nullptr) {
        SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0,
                     MulDiv(kTooltipWidthPixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI));
    }
}

void StatusLineControl::Show(const std::wstring& text, const std::wstring& details) {
    SetWindowTextW(m_text, text.c_str());
    if (m_tooltip == nullptr) {
        return;
    }
    m_tip = details.empty() ? text : details;
    TTTOOLINFOW tool = ToolFor(m_text, m_tip.data());
    SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace vindle
