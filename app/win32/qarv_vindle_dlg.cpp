#include "app/win32/qarv_vindle_dlg.h"

#include <commctrl.h>

#include "app/win32/about_dlg.h"
#include "app/win32/accessible_name.h"
#include "app/win32/conset_dlg.h"
#include "app/win32/device_list_actions.h"
#include "app/win32/dialog_object.h"
#include "app/win32/owned_windows.h"
#include "app/win32/posted_list_mirror.h"
#include "app/win32/posted_search_observer.h"
#include "app/win32/resource.h"
#include "app/win32/row_menu.h"
#include "app/win32/win32_controls.h"
#include "app/win32/win32_list_view.h"
#include "app/win32/win32_text.h"
#include "app/win32/window_messages.h"
#include "app/win32/window_metrics.h"
#include "discovery/column_sort.h"
#include "discovery/device_list_rules.h"
#include "discovery/search_session.h"
#include "discovery/search_status_text.h"
#include "settings/settings_file.h"

namespace {

// The title's cell height, in pixels at 96 DPI.
constexpr int kTitleFontHeight = 32;

// The icon's image closest to `metric`'s size at `dpi`.
HICON LoadWindowIcon(int metric, UINT dpi) {
    const int size = GetSystemMetricsForDpi(metric, dpi);
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(IDI_QARV_VINDLE), IMAGE_ICON, size, size,
                                         LR_DEFAULTCOLOR));
}

void DestroyIcons(std::initializer_list<HICON> icons) {
    for (HICON icon : icons) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

}  // namespace

CQarvVindleDlg::CQarvVindleDlg(vindle::Network& network) : m_network(network) {}

CQarvVindleDlg::~CQarvVindleDlg() {
    StopSearch();
    FinishSearch();
    // The title label kept using the font until the window was destroyed.
    if (m_titleFont != nullptr) {
        DeleteObject(m_titleFont);
    }
    DestroyIcons({m_hWindowIcon, m_hSmallIcon});
}

INT_PTR CQarvVindleDlg::DoModal() {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QARV_VINDLE_DIALOG),
                           nullptr, &CQarvVindleDlg::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CQarvVindleDlg::FinishSearch() {
    if (m_session) {
        m_session->Wait();
    }
}

INT_PTR CALLBACK CQarvVindleDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    auto* self = vindle::DialogObject(dialog, message, lParam, &CQarvVindleDlg::m_hWnd);
    return self != nullptr ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CQarvVindleDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const INT_PTR result = HandleWindowMessage(message, wParam, lParam);
    // A dialog open over the window when it was asked to close has returned.
    if (m_closePending && IsWindowEnabled(m_hWnd)) {
        m_closePending = false;
        EndDialog(m_hWnd, IDCANCEL);
    }
    return result;
}

INT_PTR CQarvVindleDlg::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) {
                SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
                return TRUE;
            }
            return FALSE;
        }
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == m_listDevices) {
                OnContextMenu(lParam);
                return TRUE;
            }
            return FALSE;
        case WM_SETCURSOR:
            if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) {
                SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_APP_ROWS_CHANGED:
            OnRowsChanged();
            return TRUE;
        case WM_APP_SEARCH_PROGRESS:
            OnSearchProgressed();
            return TRUE;
        case WM_APP_SEARCH_ENDED:
            OnSearchEnded();
            return TRUE;
        case WM_PAINT:
            return OnPaint();
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_hWindowIcon);
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return TRUE;
        case WM_CLOSE:
            OnClose();
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

BOOL CQarvVindleDlg::OnInitDialog() {
    m_btnRetrieve = GetDlgItem(m_hWnd, IDC_RETRIEVE);
    m_btnBrowse = GetDlgItem(m_hWnd, IDC_BROWSE);
    m_listDevices = GetDlgItem(m_hWnd, IDC_DEVICE_LIST);
    m_staticTitle = GetDlgItem(m_hWnd, IDC_TITLE);
    m_btnStop = GetDlgItem(m_hWnd, IDC_STOP);
    m_statusLine.Attach(GetDlgItem(m_hWnd, IDC_STATUS_LINE));
    m_dpi.Attach(m_hWnd);

    const auto settingsProblem = vindle::StartupSettingsProblem(vindle::EnsureSettingsFile());

    // The template attaches the menu; it stays for the window's life.
    if (GetMenu(m_hWnd) == nullptr) {
        SetMenu(m_hWnd, LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAIN_MENU)));
    }
    SetIcons();
    SetTitleFont();

    const LONG_PTR style = GetWindowLongPtrW(m_listDevices, GWL_STYLE);
    SetWindowLongPtrW(m_listDevices, GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_REPORT);
    // A click anywhere on a row selects it, as in Explorer's details view.
    ListView_SetExtendedListViewStyleEx(m_listDevices, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int column = 0; column < vindle::kDeviceListColumnCount; ++column) {
        vindle::AddReportColumn(m_listDevices, column, vindle::kDeviceListHeadings[column],
                                m_dpi.Scale(vindle::kDeviceListColumnPixels));
    }
    m_statusLine.SetDpi(m_dpi.Dpi());
    // The list follows a button, not a label: a screen reader gets its name here.
    vindle::SetAccessibleName(m_listDevices, L"Printers found");
    vindle::SetAccessibleName(m_btnStop, L"Stop the search");

    m_observer = std::make_unique<vindle::PostedSearchObserver>(m_hWnd, WM_APP_SEARCH_PROGRESS,
                                                                WM_APP_SEARCH_ENDED);
    m_session = std::make_unique<vindle::SearchSession>(m_network, m_rows, m_observer.get());
    m_listView = std::make_unique<vindle::Win32ListView>(m_listDevices);
    m_mirror = std::make_unique<vindle::PostedListMirror>(m_rows, *m_listView, m_hWnd,
                                                          WM_APP_ROWS_CHANGED);
    m_rowActions = std::make_unique<vindle::DeviceListActions>(m_hWnd, *m_listView);

    if (settingsProblem) {
        ShowStatus(*settingsProblem);
    } else {
        ShowStatus({vindle::IdleStatusText(), {}});
    }
    vindle::CenterWindow(m_hWnd, nullptr);
    // The first tab stop, "Retrieve", gets the focus.
    return TRUE;
}

void CQarvVindleDlg::SetIcons() {
    const HICON big = m_hWindowIcon;
    const HICON small = m_hSmallIcon;
    m_hWindowIcon = LoadWindowIcon(SM_CXICON, m_dpi.Dpi());
    m_hSmallIcon = LoadWindowIcon(SM_CXSMICON, m_dpi.Dpi());
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hWindowIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
    DestroyIcons({big, small});
}

void CQarvVindleDlg::OnDpiChanged(UINT dpi, const RECT& suggested) {
    const UINT previous = m_dpi.Dpi();
    m_dpi.Rescale(dpi, suggested, m_staticTitle);
    SetTitleFont();
    SetIcons();
    for (int column = 0; column < vindle::kDeviceListColumnCount; ++column) {
        const int width = ListView_GetColumnWidth(m_listDevices, column);
        ListView_SetColumnWidth(m_listDevices, column,
                                MulDiv(width, static_cast<int>(dpi), static_cast<int>(previous)));
    }
    m_statusLine.SetDpi(dpi);
}

void CQarvVindleDlg::SetTitleFont() {
    const HFONT font =
        CreateFontW(m_dpi.Scale(kTitleFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                    ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, L"Times New Roman");
    if (font == nullptr) {
        return;
    }
    SendMessageW(m_staticTitle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (m_titleFont != nullptr) {
        DeleteObject(m_titleFont);
    }
    m_titleFont = font;
}

void CQarvVindleDlg::OnCommand(int id, int code) {
    // Menu commands and clicks both come with code 0 (BN_CLICKED).
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
        case IDC_RETRIEVE:
            OnRetrieve();
            break;
        case IDC_STOP:
            OnStop();
            break;
        case IDC_BROWSE:
            OnBrowse();
            break;
        case ID_TOOL_CONFIGURATION:
            OnConfiguration();
            break;
        case ID_HELP_ABOUT:
            OnAbout();
            break;
        case ID_TOOL_SAVE_LIST_AS:
            m_mirror->Sync();
            m_rowActions->SaveListAs();
            break;
        case ID_ROW_OPEN_WEB_PAGE:
            m_mirror->Sync();
            m_rowActions->OpenWebPage(m_listView->NextSelected(-1));
            break;
        case ID_ROW_COPY:
            m_mirror->Sync();
            m_rowActions->CopySelectedRows();
            break;
        case ID_ROW_COPY_IP_ADDRESS:
            m_mirror->Sync();
            m_rowActions->CopySelectedColumn(vindle::kIpAddressColumn);
            break;
        case ID_ROW_COPY_MAC_ADDRESS:
            m_mirror->Sync();
            m_rowActions->CopySelectedColumn(vindle::kMacAddressColumn);
            break;
        default:
            // IDOK is Enter while "Retrieve" is disabled; IDCANCEL is Escape, which never closes
            // the window (the close box, Alt+F4 and the system menu send WM_CLOSE).
            break;
    }
}

bool CQarvVindleDlg::OnNotify(const NMHDR& header, LRESULT& result) {
    result = 0;
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
            OnListItemChanged();
            return true;
        case NM_DBLCLK: {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            m_mirror->Sync();
            m_rowActions->OpenWebPage(activate.iItem);
            return true;
        }
        case LVN_KEYDOWN: {
            const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
            // The list on its own copies nothing.
            if (key.wVKey == 'C' && GetKeyState(VK_CONTROL) < 0) {
                m_mirror->Sync();
                m_rowActions->CopySelectedRows();
            }
            return true;
        }
        default:
            return false;
    }
}

void CQarvVindleDlg::OnRetrieve() {
    if (m_searching) {
        return;
    }
    const vindle::SearchStart start = m_session->Start();
    ShowStatus(vindle::StartStatusLine(start));
    if (start.Started()) {
        ShowSearchRunning(true);
    }
}

void CQarvVindleDlg::OnStop() {
    // The search's waits, sends and opens fail from now on; the worker ends through its usual
    // last steps, keeps the rows it listed and reports its end.
    m_session->Stop();
    vindle::EnableDialogControl(m_btnStop, false);
}

void CQarvVindleDlg::OnRowsChanged() {
    m_mirror->Sync();
}

void CQarvVindleDlg::OnSearchProgressed() {
    const auto progress = m_observer->TakeProgress();
    if (progress && m_searching && !m_session->StopRequested()) {
        ShowStatus({vindle::ProgressStatusText(*progress), {}});
    }
}

void CQarvVindleDlg::OnSearchEnded() {
    const auto outcome = m_observer->TakeOutcome();
    if (!outcome) {
        return;
    }
    m_mirror->Sync();
    ShowStatus({m_session->EndStatusText(*outcome), {}});
    ShowSearchRunning(false);
}

void CQarvVindleDlg::ShowSearchRunning(bool running) {
    m_searching = running;
    if (running) {
        // The list takes the keyboard focus from the button being disabled.
        if (GetFocus() == m_btnRetrieve) {
            SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_listDevices), TRUE);
        }
        EnableWindow(m_btnRetrieve, FALSE);
        EnableWindow(m_btnStop, TRUE);
        ShowWindow(m_btnStop, SW_SHOWNA);
    } else {
        if (GetFocus() == m_btnStop) {
            SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_listDevices), TRUE);
        }
        ShowWindow(m_btnStop, SW_HIDE);
        EnableWindow(m_btnRetrieve, TRUE);
    }
}

void CQarvVindleDlg::ShowStatus(const vindle::StatusLine& line) {
    m_statusLine.Show(vindle::Utf8ToWide(line.brief), vindle::Utf8ToWide(line.full));
}

void CQarvVindleDlg::OnBrowse() {
    m_rowActions->OpenWebPage(m_listView->NextSelected(-1));
}

void CQarvVindleDlg::OnListItemChanged() {
    // "Browse" is enabled by the first selection and never disabled again.
    const bool enabled = IsWindowEnabled(m_btnBrowse) != FALSE;
    if (vindle::BrowseEnabledAfterSelectionChange(enabled, m_listView->NextSelected(-1)) &&
        !enabled) {
        EnableWindow(m_btnBrowse, TRUE);
    }
}

void CQarvVindleDlg::OnHeaderItemClick(int column, int button) {
    if (button != 0) {
        return;
    }
    m_bSortAscending = vindle::SortAscendingAfterClick(m_nSortColumn, column);
    m_nSortColumn = column;
    // The rows are sorted where the search places them, so later rows go where the sort says;
    // the list is drawn once, when the sort is done.
    SendMessageW(m_listDevices, WM_SETREDRAW, FALSE, 0);
    m_mirror->WithRows(
        [&](vindle::ListView& rows) { vindle::SortByColumn(rows, column, m_bSortAscending); });
    SendMessageW(m_listDevices, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_listDevices, nullptr, TRUE);
}

void CQarvVindleDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal(m_hWnd);
}

void CQarvVindleDlg::OnConfiguration() {
    // The window reads nothing afterwards: a changed mode or time-out applies at the next search.
    CConsetDlg configuration;
    configuration.DoModal(m_hWnd);
}

void CQarvVindleDlg::OnContextMenu(LPARAM position) {
    m_mirror->Sync();
    const vindle::RowMenuChoice choice = vindle::TrackRowMenu(m_listDevices, m_hWnd, position);
    if (choice.command == ID_ROW_OPEN_WEB_PAGE) {
        m_rowActions->OpenAddress(choice.address);
    } else if (choice.command != 0) {
        OnCommand(static_cast<int>(choice.command), BN_CLICKED);
    }
}

void CQarvVindleDlg::OnClose() {
    StopSearch();
    // A dialog open over the window is cancelled first: its modal run returns, then the window
    // closes (HandleMessage), so no dialog is left without its owner.
    if (vindle::CancelOwnedWindows(m_hWnd)) {
        m_closePending = true;
    } else {
        EndDialog(m_hWnd, IDCANCEL);
    }
}

void CQarvVindleDlg::StopSearch() {
    if (m_session) {
        m_session->Close();
    }
    if (m_mirror) {
        m_mirror->Detach();
    }
    if (m_observer) {
        m_observer->Detach();
    }
}

void CQarvVindleDlg::OnDestroy() {
    vindle::ClearAccessibleNames(m_listDevices);
    vindle::ClearAccessibleNames(m_btnStop);
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
    DrawIcon(dc, x, y, m_hWindowIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

bool CQarvVindleDlg::OnSetCursor(HWND window, int hitTest) {
    // The list shows that a search is working in the background.
    if (!m_searching || window != m_listDevices || hitTest != HTCLIENT) {
        return false;
    }
    SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
    return true;
}
