#include "app/win32/qarv_vindle_dlg.h"

#include <commctrl.h>

#include "app/win32/about_dlg.h"
#include "app/win32/conset_dlg.h"
#include "app/win32/resource.h"
#include "app/win32/row_menu.h"
#include "app/win32/win32_main_view.h"
#include "discovery/device_list_rules.h"
#include "discovery/main_window_logic.h"
#include "platform/win32/accessible_name.h"
#include "platform/win32/dialog_object.h"
#include "platform/win32/owned_windows.h"
#include "platform/win32/win32_list_mirror.h"
#include "platform/win32/window_metrics.h"
#include "settings/settings.h"

namespace {

// The title's cell height, in pixels at 96 DPI (ANSI character set, default precision and
// quality: all 0).
constexpr int kTitleFontHeight = 32;
// Posted to the window for the tasks waiting to run on its thread.
constexpr UINT WM_APP_RUN_TASKS = WM_APP + 1;

}  // namespace

CQarvVindleDlg::CQarvVindleDlg(vindle::Network& network, vindle::Settings& settings)
    : m_network(network), m_settings(settings) {}

CQarvVindleDlg::~CQarvVindleDlg() = default;

INT_PTR CQarvVindleDlg::DoModal() {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QARV_VINDLE_DIALOG),
                           nullptr, &CQarvVindleDlg::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CQarvVindleDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    auto* self = vindle::DialogObject(dialog, message, lParam, &CQarvVindleDlg::m_hWnd);
    if (self == nullptr) {
        return FALSE;
    }
    const INT_PTR result = self->HandleMessage(message, wParam, lParam);
    // A dialog open over the window when it was asked to close has returned.
    if (self->m_closePending && IsWindowEnabled(dialog)) {
        self->m_closePending = false;
        EndDialog(dialog, IDCANCEL);
    }
    return result;
}

INT_PTR CQarvVindleDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY:
            // The notifications handled here all answer 0.
            if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) {
                SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            return FALSE;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == m_listDevices) {
                OnContextMenu(lParam);
                return TRUE;
            }
            return FALSE;
        case WM_SETCURSOR:
            // The list shows that a search is working in the background.
            if (m_view->Busy() && reinterpret_cast<HWND>(wParam) == m_listDevices &&
                LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
                SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_APP_RUN_TASKS:
            m_view->Tasks().RunPosted();
            return TRUE;
        case WM_PAINT:
            return OnPaint();
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_dpi.BigIcon());
        case WM_DPICHANGED:
            m_dpi.Rescale(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            m_view->StatusLine().SetDpi(HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            OnClose();
            return TRUE;
        case WM_DESTROY:
            vindle::ClearAccessibleNames(m_listDevices);
            vindle::ClearAccessibleNames(m_btnStop);
            return FALSE;
        default:
            return FALSE;
    }
}

BOOL CQarvVindleDlg::OnInitDialog() {
    m_listDevices = GetDlgItem(m_hWnd, IDC_DEVICE_LIST);
    m_staticTitle = GetDlgItem(m_hWnd, IDC_TITLE);
    m_btnStop = GetDlgItem(m_hWnd, IDC_STOP);
    m_dpi.Attach(m_hWnd);

    const vindle::SettingsStartup settings = vindle::PrepareSettings(m_settings);

    // The template attaches the menu; it stays for the window's life.
    if (GetMenu(m_hWnd) == nullptr) {
        SetMenu(m_hWnd, LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAIN_MENU)));
    }
    m_dpi.SetIcons(IDI_QARV_VINDLE);
    LOGFONTW title{};
    title.lfHeight = kTitleFontHeight;
    title.lfWeight = FW_NORMAL;
    lstrcpyW(title.lfFaceName, L"Times New Roman");
    m_dpi.SetOwnFont(m_staticTitle, title);

    const LONG_PTR style = GetWindowLongPtrW(m_listDevices, GWL_STYLE);
    SetWindowLongPtrW(m_listDevices, GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_REPORT);
    // A click anywhere on a row selects it, as in Explorer's details view.
    ListView_SetExtendedListViewStyleEx(m_listDevices, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int column = 0; column < vindle::kDeviceListColumnCount; ++column) {
        vindle::AddReportColumn(m_listDevices, column, vindle::kDeviceListHeadings[column],
                                vindle::kDeviceListColumnPixels);
    }
    m_dpi.KeepColumns(m_listDevices);
    // The list follows a button, not a label: a screen reader gets its name here.
    vindle::SetAccessibleName(m_listDevices, L"Printers found");
    vindle::SetAccessibleName(m_btnStop, L"Stop the search");

    m_view = std::make_unique<vindle::Win32MainView>(m_hWnd, WM_APP_RUN_TASKS);
    m_view->StatusLine().SetDpi(m_dpi.Dpi());
    m_listView = std::make_unique<vindle::Win32ListView>(m_listDevices);
    m_logic = std::make_unique<vindle::MainWindowLogic>(*m_view, m_network, m_settings);
    m_mirror =
        std::make_unique<vindle::Win32ListMirror>(m_logic->Rows(), *m_listView, m_view->Tasks());
    m_logic->AttachMirror(m_mirror.get());
    m_logic->OnInitDialog(settings);
    vindle::CenterWindow(m_hWnd, nullptr);
    // The first tab stop, "Retrieve", gets the focus.
    return TRUE;
}

void CQarvVindleDlg::OnCommand(int id, int code) {
    // Menu commands and clicks both come with code 0 (BN_CLICKED).
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
        case IDC_RETRIEVE:
            m_logic->OnRetrieve();
            break;
        case IDC_STOP:
            m_logic->OnStop();
            break;
        case IDC_BROWSE:
            m_logic->OnBrowse();
            break;
        case ID_TOOL_CONFIGURATION:
            OnConfiguration();
            break;
        case ID_HELP_ABOUT:
            OnAbout();
            break;
        case ID_TOOL_SAVE_LIST_AS:
            m_logic->SaveListAs();
            break;
        case ID_ROW_COPY:
            m_logic->CopySelectedRows();
            break;
        case ID_ROW_COPY_IP_ADDRESS:
            m_logic->CopySelectedColumn(vindle::kIpAddressColumn);
            break;
        case ID_ROW_COPY_MAC_ADDRESS:
            m_logic->CopySelectedColumn(vindle::kMacAddressColumn);
            break;
        default:
            // IDOK is Enter while "Retrieve" is disabled; IDCANCEL is Escape, which never closes
            // the window (the close box, Alt+F4 and the system menu send WM_CLOSE).
            break;
    }
}

bool CQarvVindleDlg::OnNotify(const NMHDR& header) {
    if (header.code == HDN_ITEMCLICKA || header.code == HDN_ITEMCLICKW) {
        // From the list's header (control id 0).
        if (header.idFrom != 0 || GetParent(header.hwndFrom) != m_listDevices) {
            return false;
        }
        const auto& click = reinterpret_cast<const NMHEADERW&>(header);
        OnHeaderItemClick(click.iItem, click.iButton);
        return true;
    }
    if (header.idFrom != IDC_DEVICE_LIST) {
        return false;
    }
    switch (header.code) {
        case LVN_ITEMCHANGED:
            m_logic->OnListItemChanged(m_listView->NextSelected(-1));
            return true;
        case NM_DBLCLK:
            m_logic->OpenRowWebPage(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem);
            return true;
        case LVN_KEYDOWN:
            // The list on its own copies nothing.
            if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == 'C' &&
                GetKeyState(VK_CONTROL) < 0) {
                m_logic->CopySelectedRows();
            }
            return true;
        default:
            return false;
    }
}

void CQarvVindleDlg::OnHeaderItemClick(int column, int button) {
    // The list is drawn once, when the sort is done.
    SendMessageW(m_listDevices, WM_SETREDRAW, FALSE, 0);
    m_logic->OnHeaderItemClick(column, button);
    SendMessageW(m_listDevices, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_listDevices, nullptr, TRUE);
}

void CQarvVindleDlg::OnContextMenu(LPARAM position) {
    m_mirror->Sync();
    const vindle::RowMenuChoice choice = vindle::TrackRowMenu(m_listDevices, m_hWnd, position);
    if (choice.command == ID_ROW_OPEN_WEB_PAGE) {
        m_logic->OpenWebPage(choice.address);
    } else if (choice.command != 0) {
        OnCommand(static_cast<int>(choice.command), BN_CLICKED);
    }
}

void CQarvVindleDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal(m_hWnd);
}

void CQarvVindleDlg::OnConfiguration() {
    // The window reads nothing afterwards: a changed mode or time-out applies at the next search.
    CConsetDlg configuration(m_settings);
    configuration.DoModal(m_hWnd);
}

void CQarvVindleDlg::OnClose() {
    m_logic->OnClose();
    m_view->Tasks().DropPosted();
    // A dialog open over the window is cancelled first: its modal run returns, then the window
    // closes (HandleMessage), so no dialog is left without its owner.
    if (vindle::CancelOwnedWindows(m_hWnd)) {
        m_closePending = true;
    } else {
        EndDialog(m_hWnd, IDCANCEL);
    }
}

bool CQarvVindleDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        return false;
    }
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_dpi.BigIcon());
    EndPaint(m_hWnd, &paint);
    return true;
}
