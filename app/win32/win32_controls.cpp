#include "app/win32/win32_controls.h"

#include <commctrl.h>

#include "app/win32/latin1_text.h"

namespace vindle {
namespace {

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return WideToLatin1(text);
}

}  // namespace

void EnableDialogControl(HWND control, bool enabled) {
    if (!enabled) {
        const HWND focus = GetFocus();
        if (focus != nullptr && (focus == control || IsChild(control, focus))) {
            SendMessageW(GetParent(control), WM_NEXTDLGCTL, 0, FALSE);
        }
    }
    EnableWindow(control, enabled ? TRUE : FALSE);
}

void Win32Control::SetEnabled(bool enabled) {
    EnableDialogControl(m_control, enabled);
}

bool Win32Control::IsEnabled() {
    return IsWindowEnabled(m_control) != FALSE;
}

void Win32CheckBox::SetEnabled(bool enabled) {
    EnableDialogControl(m_box, enabled);
}

bool Win32CheckBox::IsEnabled() {
    return IsWindowEnabled(m_box) != FALSE;
}

bool Win32CheckBox::IsChecked() {
    return SendMessageW(m_box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32CheckBox::SetChecked(bool checked) {
    SendMessageW(m_box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32IpAddress::SetEnabled(bool enabled) {
    EnableDialogControl(m_control, enabled);
}

bool Win32IpAddress::IsEnabled() {
    return IsWindowEnabled(m_control) != FALSE;
}

std::array<int, 4> Win32IpAddress::FieldValues() {
    // A blank field reads as 0.
    DWORD address = 0;
    SendMessageW(m_control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    return {static_cast<int>(FIRST_IPADDRESS(address)), static_cast<int>(SECOND_IPADDRESS(address)),
            static_cast<int>(THIRD_IPADDRESS(address)),
            static_cast<int>(FOURTH_IPADDRESS(address))};
}

std::string Win32IpAddress::Text() {
    // The dotted text as the control shows it, at most 15 characters.
    wchar_t text[16] = {};
    GetWindowTextW(m_control, text, static_cast<int>(std::size(text)));
    return WideToLatin1(text);
}

void Win32NumberEdit::SetEnabled(bool enabled) {
    EnableDialogControl(m_edit, enabled);
}

bool Win32NumberEdit::IsEnabled() {
    return IsWindowEnabled(m_edit) != FALSE;
}

std::string Win32NumberEdit::Text() {
    return WindowText(m_edit);
}

void Win32NumberEdit::SetText(const std::string& text) {
    SetWindowTextW(m_edit, Latin1ToWide(text).c_str());
}

}  // namespace vindle
