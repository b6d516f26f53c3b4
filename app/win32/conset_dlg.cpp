#include "app/win32/conset_dlg.h"

#include <commctrl.h>

#include "app/win32/conset_adapters.h"
#include "app/win32/resource.h"
#include "platform/win32/accessible_name.h"
#include "platform/win32/dialog_object.h"
#include "platform/win32/win32_list_view.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/window_metrics.h"
#include "settings/conset_logic.h"

namespace {

constexpr int kColumnPixels = 115;

}  // namespace

// The dialog's controls as the interfaces ConsetLogic drives.
struct CConsetDlg::Controls {
    explicit Controls(HWND dialog)
        : searchSpecified(GetDlgItem(dialog, IDC_SEARCH_SPECIFIED)),
          addButton(GetDlgItem(dialog, IDC_ADD)),
          deleteButton(GetDlgItem(dialog, IDC_DELETE)),
          addressList(GetDlgItem(dialog, IDC_ADDRESS_LIST)),
          addressListWindow(GetDlgItem(dialog, IDC_ADDRESS_LIST)),
          address(GetDlgItem(dialog, IDC_ADDRESS)),
          mask(GetDlgItem(dialog, IDC_MASK)),
          timeout(GetDlgItem(dialog, IDC_TIMEOUT)),
          thoroughSearch(GetDlgItem(dialog, IDC_THOROUGH_SEARCH)) {}

    vindle::ConsetControls AsConsetControls() {
        return {searchSpecified, addButton, deleteButton, addressList,   addressListWindow,
                address,         mask,      timeout,      thoroughSearch};
    }

    vindle::Win32CheckBox searchSpecified;
    vindle::Win32Control addButton;
    vindle::Win32Control deleteButton;
    vindle::Win32ListView addressList;
    vindle::Win32Control addressListWindow;
    vindle::Win32IpAddress address;
    vindle::Win32IpAddress mask;
    vindle::Win32NumberEdit timeout;
    vindle::Win32CheckBox thoroughSearch;
};

CConsetDlg::CConsetDlg(const vindle::Settings& settings) : m_settings(settings) {}
CConsetDlg::~CConsetDlg() = default;

INT_PTR CConsetDlg::DoModal(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONSET_DIALOG), owner,
                           &CConsetDlg::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CConsetDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = vindle::DialogObject(dialog, message, lParam, &CConsetDlg::m_hWnd);
    return self != nullptr ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CConsetDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_ADDRESS_LIST && header->code == LVN_ITEMCHANGED) {
                m_logic->OnSelectionChanged();
                SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            break;
        }
        case WM_DESTROY:
            OnDestroy();
            break;
        default:
            break;
    }
    return FALSE;
}

BOOL CConsetDlg::OnInitDialog() {
    vindle::CenterWindow(m_hWnd, GetWindow(m_hWnd, GW_OWNER));
    const HWND list = GetDlgItem(m_hWnd, IDC_ADDRESS_LIST);
    vindle::AddReportColumn(list, 0, "IP Address", kColumnPixels);
    vindle::AddReportColumn(list, 1, "Subnet Mask", kColumnPixels);

    // No label stands before these in tab order: a screen reader gets their names here.
    vindle::SetIpAddressAccessibleNames(GetDlgItem(m_hWnd, IDC_ADDRESS), L"IP address");
    vindle::SetIpAddressAccessibleNames(GetDlgItem(m_hWnd, IDC_MASK), L"Subnet mask");
    vindle::SetAccessibleName(list, L"Specified addresses");
    vindle::SetAccessibleName(GetDlgItem(m_hWnd, IDC_TIMEOUT), L"Timeout in seconds");

    m_controls = std::make_unique<Controls>(m_hWnd);
    m_logic = std::make_unique<vindle::ConsetLogic>(
        m_settings, m_controls->AsConsetControls(),
        // The operator errors, or a failed save's file and the system's reason.
        [this](const std::string& text) {
            vindle::MessageBoxUtf8(m_hWnd, text, L"Qarv Vindle", MB_ICONEXCLAMATION | MB_OK);
        });
    m_logic->LoadSettings();
    return TRUE;
}

void CConsetDlg::OnCommand(int id, int code) {
    // Clicks, Enter and Escape all come with code 0 (BN_CLICKED).
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
        case IDOK:
            // A refused time-out or a failed save has been reported; the dialog stays open.
            if (m_logic->OnOk()) {
                EndDialog(m_hWnd, IDOK);
            }
            break;
        case IDCANCEL:
            EndDialog(m_hWnd, IDCANCEL);
            break;
        case IDC_ADD:
            m_logic->OnAdd();
            break;
        case IDC_DELETE:
            m_logic->OnDelete();
            break;
        case IDC_SEARCH_SPECIFIED:
            m_logic->ApplyCheckBoxRule();
            break;
        default:
            break;
    }
}

void CConsetDlg::OnDestroy() {
    for (const int id : {IDC_ADDRESS, IDC_MASK, IDC_ADDRESS_LIST, IDC_TIMEOUT}) {
        vindle::ClearAccessibleNames(GetDlgItem(m_hWnd, id));
    }
}
