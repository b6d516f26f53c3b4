#include "app/win32/win32_shell.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "app/win32/win32_text.h"

namespace vindle {
namespace {

constexpr wchar_t kExportFilters[] = L"CSV files (*.csv)\0*.csv\0JSON files (*.json)\0*.json\0";
constexpr DWORD kJsonFilterIndex = 2;
// Long paths as the system allows them.
constexpr std::size_t kPathBufferLength = 32768;

bool SetClipboardText(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* target = memory != nullptr ? GlobalLock(memory) : nullptr;
    if (target == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
    // The clipboard owns the memory once it has taken it.
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
        GlobalFree(memory);
        return false;
    }
    return true;
}

}  // namespace

bool OpenUrl(const std::string& url) {
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", Utf8ToWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool PutClipboardText(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) {
        return false;
    }
    EmptyClipboard();
    const bool put = SetClipboardText(WithCrLf(Utf8ToWide(text)));
    CloseClipboard();
    return put;
}

std::optional<SaveFileChoice> AskSaveFile(HWND owner) {
    std::vector<wchar_t> file(kPathBufferLength, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
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

void ShowWarning(HWND owner, const std::string& text) {
    MessageBoxW(owner, WithCrLf(Utf8ToWide(text)).c_str(), L"Qarv Vindle",
                MB_ICONEXCLAMATION | MB_OK);
}

}  // namespace vindle
