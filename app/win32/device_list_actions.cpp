#include "app/win32/device_list_actions.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <vector>

#include "app/win32/latin1_text.h"
#include "app/win32/resource.h"
#include "app/win32/win32_text.h"
#include "discovery/device_list_rules.h"
#include "discovery/device_row_format.h"
#include "platform/atomic_file.h"

namespace vindle {
namespace {

constexpr wchar_t kCaption[] = L"Qarv Vindle";
constexpr wchar_t kExportFilters[] = L"CSV files (*.csv)\0*.csv\0JSON files (*.json)\0*.json\0";
constexpr DWORD kJsonFilterIndex = 2;
// Long paths as the system allows them.
constexpr std::size_t kPathBufferLength = 32768;

}  // namespace

DeviceListActions::DeviceListActions(HWND owner, Win32ListView& list)
    : m_owner(owner), m_list(list) {}

void DeviceListActions::OpenWebPage(int row) {
    if (row >= 0 && row < m_list.ItemCount()) {
        OpenAddress(m_list.ItemText(row, kIpAddressColumn));
    }
}

void DeviceListActions::OpenAddress(const std::string& ipText) {
    // Only an address becomes part of the URL; a row's text never reaches the shell otherwise.
    const std::string url = WebPageAddress(ipText);
    if (url.empty()) {
        return;
    }
    const std::wstring wideUrl = Latin1ToWide(url);
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", wideUrl.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
        ShowWarning(Latin1ToWide(NoBrowserMessage(url)));
    }
}

void DeviceListActions::CopySelectedRows() {
    CopyText(Utf8ToWide(FormatTabSeparated(ReadDeviceRows(m_list, true))));
}

void DeviceListActions::CopySelectedColumn(int column) {
    CopyText(Latin1ToWide(SelectedColumnText(m_list, column)));
}

void DeviceListActions::CopyText(const std::wstring& text) {
    const std::wstring lines = WithCrLf(text);
    if (!OpenClipboard(m_owner)) {
        return;
    }
    EmptyClipboard();
    const std::size_t bytes = (lines.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, lines.c_str(), bytes);
            GlobalUnlock(memory);
            // The clipboard owns the memory once it has taken it.
            if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
                GlobalFree(memory);
            }
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

void DeviceListActions::SaveListAs() {
    std::vector<wchar_t> file(kPathBufferLength, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_owner;
    dialog.lpstrFilter = kExportFilters;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = L"Save List As";
    // The settings file lives in the working directory: the dialog must not change it.
    dialog.Flags =
        OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    // A name typed without a type gets the chosen filter's.
    dialog.lpstrDefExt = L"csv";
    if (!GetSaveFileNameW(&dialog)) {
        return;
    }
    const OutputFormat filter =
        dialog.nFilterIndex == kJsonFilterIndex ? OutputFormat::Json : OutputFormat::Csv;
    const ExportTarget target = ChooseExportTarget(WideToUtf8(file.data()), filter);
    const std::string text = FormatRows(target.format, ReadDeviceRows(m_list, false));
    std::string reason;
    if (!ReplaceFileContents(target.path, text, &reason)) {
        // The path and the system's reason are both UTF-8.
        ShowWarning(Utf8ToWide(ListSaveFailedMessage(target.path, reason)));
    }
}

void DeviceListActions::ShowWarning(const std::wstring& text) {
    MessageBoxW(m_owner, WithCrLf(text).c_str(), kCaption, MB_ICONEXCLAMATION | MB_OK);
}

}  // namespace vindle
