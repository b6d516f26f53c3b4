#include "app/win32/qarv_vindle_dlg.h"

#include <commctrl.h>

#include "app/win32/about_dlg.h"
#include "app/win32/accessible_name.h"
#include "app/win32/conset_dlg.h"
#include "app/win32/dialog_object.h"
#include "app/win32/owned_windows.h"
#include "app/win32/posted_list_mirror.h"
#include "app/win32/resource.h"
#include "app/win32/row_menu.h"
#include "app/win32/win32_controls.h"
#include "app/win32/win32_list_view.h"
#include "app/win32/win32_shell.h"
#include "app/win32/win32_text.h"
#include "app/win32/window_messages.h"
#include "app/win32/window_metrics.h"
#include "discovery/device_list_rules.h"
#include "discovery/main_window_logic.h"
#include "settings/settings.h"

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

CQarvVindleDlg::CQarvVindleDlg(vindle::Network& network, vindle::Settings& settings)
    : m_network(network), m_settings(settings) {}

CQarvVindleDlg::~CQarvVindleDlg() {
    if (m_logic) {
        m_logic->OnClose();
    }
    if (m_tasks) {
        m_tasks->Detach();
    }
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
    if (m_logic) {
        m_logic->FinishSearch();
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
            // The list shows that a search is working in the background.
            if (m_busy && reinterpret_cast<HWND>(wParam) == m_listDevices &&
                LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
                SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_APP_ROWS_CHANGED:
            m_mirror->Sync();
            return TRUE;
        case WM_APP_RUN_TASKS:
            m_tasks->RunPending();
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

    const vindle::SettingsStartup settings = vindle::PrepareSettings(m_settings);

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
                                vindle::kDeviceListColumnPixels);
    }
    m_statusLine.SetDpi(m_dpi.Dpi());
    // The list follows a button, not a label: a screen reader gets its name here.
    vindle::SetAccessibleName(m_listDevices, L"Printers found");
    vindle::SetAccessibleName(m_btnStop, L"Stop the search");

    m_tasks = std::make_unique<vindle::PostedTasks>(m_hWnd, WM_APP_RUN_TASKS);
    m_listView = std::make_unique<vindle::Win32ListView>(m_listDevices);
    vindle::MainWindowView& view = *this;
    m_logic = std::make_unique<vindle::MainWindowLogic>(view, m_network, m_settings);
    m_mirror = std::make_unique<vindle::PostedListMirror>(m_logic->Rows(), *m_listView, m_hWnd,
                                                          WM_APP_ROWS_CHANGED);
    m_logic->AttachMirror(m_mirror.get());
    m_logic->OnInitDialog(settings);
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
    m_tasks->Detach();
    // A dialog open over the window is cancelled first: its modal run returns, then the window
    // closes (HandleMessage), so no dialog is left without its owner.
    if (vindle::CancelOwnedWindows(m_hWnd)) {
        m_closePending = true;
    } else {
        EndDialog(m_hWnd, IDCANCEL);
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

HWND CQarvVindleDlg::Control(vindle::MainControl control) const {
    switch (control) {
        case vindle::MainControl::Retrieve:
            return m_btnRetrieve;
        case vindle::MainControl::Stop:
            return m_btnStop;
        case vindle::MainControl::Browse:
            return m_btnBrowse;
        case vindle::MainControl::DeviceList:
            return m_listDevices;
    }
    return nullptr;
}

void CQarvVindleDlg::EnableControl(vindle::MainControl control, bool enabled) {
    // The keyboard focus moves on from a control being disabled.
    vindle::EnableDialogControl(Control(control), enabled);
}

void CQarvVindleDlg::ShowControl(vindle::MainControl control, bool shown) {
    ShowWindow(Control(control), shown ? SW_SHOWNA : SW_HIDE);
}

bool CQarvVindleDlg::HasFocus(vindle::MainControl control) {
    return GetFocus() == Control(control);
}

void CQarvVindleDlg::SetFocus(vindle::MainControl control) {
    SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(control)), TRUE);
}

void CQarvVindleDlg::ShowBusyCursor(bool busy) {
    m_busy = busy;
}

void CQarvVindleDlg::ShowStatus(const std::string& brief, const std::string& full) {
    m_statusLine.Show(vindle::Utf8ToWide(brief), vindle::Utf8ToWide(full));
}

void CQarvVindleDlg::ShowMessage(const std::string& text) {
    vindle::ShowWarning(m_hWnd, text);
}

bool CQarvVindleDlg::OpenAddress(const std::string& url) {
    return vindle::OpenUrl(url);
}

bool CQarvVindleDlg::PutOnClipboard(const std::string& text) {
    return vindle::PutClipboardText(m_hWnd, text);
}

std::optional<vindle::SaveFileChoice> CQarvVindleDlg::AskSaveFileName() {
    return vindle::AskSaveFile(m_hWnd);
}

void CQarvVindleDlg::Post(Task task) {
    m_tasks->Post(std::move(task));
}
