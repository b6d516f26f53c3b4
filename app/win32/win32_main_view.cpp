#include "app/win32/win32_main_view.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "app/win32/resource.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_text.h"

namespace vindle {
namespace {

constexpr wchar_t kExportFilters[] = L"CSV files (*.csv)\0*.csv\0JSON files (*.json)\0*.json\0";
constexpr DWORD kJsonFilterIndex = 2;
// Long paths as the system allows them.
constexpr std::size_t kPathBufferLength = 32768;

// The clipboard is open; false when it took nothing.
bool SetClipboardText(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* target = memory != nullptr ? GlobalLock(memory) : nullptr;
    if (target != nullptr) {
        std::memcpy(target, text.c_str(), bytes);
        GlobalUnlock(memory);
        // The clipboard owns the memory once it has taken it.
        if (SetClipboardData(CF_UNICODETEXT, memory) != nullptr) {
            return true;
        }
    }
    GlobalFree(memory);
    return false;
}

}  // namespace

Win32MainView::Win32MainView(HWND dialog, UINT taskMessage)
    : m_dialog(dialog), m_tasks(dialog, taskMessage) {
    m_statusLine.Attach(GetDlgItem(dialog, IDC_STATUS_LINE));
}

HWND Win32MainView::Control(MainControl control) const {
    // In MainControl's order.
    constexpr int kIds[] = {IDC_RETRIEVE, IDC_STOP, IDC_BROWSE, IDC_DEVICE_LIST};
    return GetDlgItem(m_dialog, kIds[static_cast<int>(control)]);
}

void Win32MainView::EnableControl(MainControl control, bool enabled) {
    // The keyboard focus moves on from a control being disabled.
    EnableDialogControl(Control(control), enabled);
}

void Win32MainView::ShowControl(MainControl control, bool shown) {
    ShowWindow(Control(control), shown ? SW_SHOWNA : SW_HIDE);
}

bool Win32MainView::HasFocus(MainControl control) {
    return GetFocus() == Control(control);
}

void Win32MainView::SetFocus(MainControl control) {
    SendMessageW(m_dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(control)), TRUE);
}

void Win32MainView::ShowStatus(const std::string& brief, const std::string& full) {
    m_statusLine.Show(Utf8ToWide(brief), Utf8ToWide(full));
}

void Win32MainView::ShowMessage(const std::string& text) {
    MessageBoxUtf8(m_dialog, text, L"Qarv Vindle", MB_ICONEXCLAMATION | MB_OK);
}

bool Win32MainView::OpenAddress(const std::string& url) {
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", Utf8ToWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool Win32MainView::PutOnClipboard(const std::string& text) {
    if (!OpenClipboard(m_dialog)) {
        return false;
    }
    EmptyClipboard();
    const bool put = SetClipboardText(WithCrLf(Utf8ToWide(text)));
    CloseClipboard();
    return put;
}

std::optional<SaveFileChoice> Win32MainView::AskSaveFileName() {
    std::vector<wchar_t> file(kPathBufferLength, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_dialog;
    dialog.lpstrFilter = kExportFilters;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = L"Save List As";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    // A name typed without a type gets the chosen filter's.
    dialog.lpstrDefExt = L"csv";
    if (!GetSaveFileNameW(&dialog)) {
        return std::nullopt;
    }
    return SaveFileChoice{WideToUtf8(file.data()), dialog.nFilterIndex == kJsonFilterIndex
                                                       ? SaveFileType::Json
                                                       : SaveFileType::Csv};
}

}  // namespace vindle
