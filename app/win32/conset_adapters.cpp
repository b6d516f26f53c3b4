#include "app/win32/conset_adapters.h"

#include <commctrl.h>

#include "platform/win32/latin1_text.h"

namespace vindle {

bool Win32CheckBox::IsChecked() {
    return SendMessageW(m_control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32CheckBox::SetChecked(bool checked) {
    SendMessageW(m_control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
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

std::string Win32NumberEdit::Text() {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(m_control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(m_control, text.data(), static_cast<int>(text.size()))));
    return WideToLatin1(text);
}

void Win32NumberEdit::SetText(const std::string& text) {
    SetWindowTextW(m_control, Latin1ToWide(text).c_str());
}

}  // namespace vindle
