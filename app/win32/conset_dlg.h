#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace vindle {
class ConsetLogic;
class Settings;
}  // namespace vindle

// The "Configuration Settings" dialog (template 132): the search mode, up to 20 address/mask
// pairs, the time-out and the thorough search. Its handlers are the core's ConsetLogic over the
// dialog's controls; it reads the settings file when it opens and writes it only on an accepted OK.
class CConsetDlg {
  public:
    // `settings` must outlive the dialog.
    explicit CConsetDlg(const vindle::Settings& settings);
    ~CConsetDlg();
    CConsetDlg(const CConsetDlg&) = delete;
    CConsetDlg& operator=(const CConsetDlg&) = delete;

    // Runs the dialog modally over `owner`.
    INT_PTR DoModal(HWND owner);

  private:
    struct Controls;

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void OnCommand(int id, int code);
    void OnDestroy();

    const vindle::Settings& m_settings;
    HWND m_hWnd = nullptr;
    std::unique_ptr<Controls> m_controls;
    std::unique_ptr<vindle::ConsetLogic> m_logic;
};
