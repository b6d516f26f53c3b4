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

// The row under a screen position, in any column; -1 for none.
int RowAt(HWND list, POINT screen) {
    LVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(list, &hit.pt);
    SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    return (hit.flags & LVHT_ONITEM) != 0 ? hit.iItem : -1;
}

}  // namespace

DeviceListActions::DeviceListActions(HWND owner, Win32ListView& list)
    : m_owner(owner),
      m_list(list),
      m_menus(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ROW_MENU))) {}

DeviceListActions::~DeviceListActions() {
    if (m_menus != nullptr) {
        DestroyMenu(m_menus);
    }
}

void DeviceListActions::OpenWebPage(int row) {
    if (row >= 0 && row < m_list.ItemCount()) {
        OpenAddress(m_list.ItemText(row, kIpAddressColumn));
    }
}

void DeviceListActions::OpenMenuRow() {
    if (!m_menuAddress.empty()) {
        OpenAddress(m_menuAddress);
    } else {
        OpenWebPage(m_list.NextSelected(-1));
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
        // The path is UTF-8, the system's reason comes in the ANSI code page.
        ShowWarning(Utf8ToWide(ListSaveFailedMessage(target.path, AnsiToUtf8(reason))));
    }
}

void DeviceListActions::ShowContextMenu(LPARAM position) {
    POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    int row = -1;
    if (position == -1) {
        row = static_cast<int>(
            SendMessageW(m_list.Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        if (row < 0 || !m_list.RowState(row).selected) {
            return;
        }
        SendMessageW(m_list.Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
        RECT rect{};
        rect.left = LVIR_LABEL;
        SendMessageW(m_list.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&rect));
        point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ClientToScreen(m_list.Handle(), &point);
    } else {
        row = RowAt(m_list.Handle(), point);
        if (row < 0) {
            return;
        }
    }
    HMENU menu = m_menus != nullptr ? GetSubMenu(m_menus, 0) : nullptr;
    if (menu == nullptr) {
        return;
    }
    SetMenuDefaultItem(menu, ID_ROW_OPEN_WEB_PAGE, FALSE);
    m_menuAddress = m_list.ItemText(row, kIpAddressColumn);
    const UINT command = static_cast<UINT>(TrackPopupMenuEx(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, point.x, point.y, m_owner, nullptr));
    if (command != 0) {
        SendMessageW(m_owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
    m_menuAddress.clear();
}

void DeviceListActions::ShowWarning(const std::wstring& text) {
    MessageBoxW(m_owner, WithCrLf(text).c_str(), kCaption, MB_ICONEXCLAMATION | MB_OK);
}

}  // namespace vindle
