#pragma once

#include <windows.h>

#include "platform/main_window_view.h"
#include "platform/win32/status_line_control.h"
#include "platform/win32/window_task_queue.h"

namespace vindle {

// The main window's controls and the system's services as the view its logic drives. Texts from
// the logic are UTF-8. Tasks posted from any thread wait in Tasks(): the window answers their
// message `taskMessage` with Tasks().RunPosted().
class Win32MainView final : public MainWindowView {
  public:
    Win32MainView(HWND dialog, UINT taskMessage);

    void EnableControl(MainControl control, bool enabled) override;
    void ShowControl(MainControl control, bool shown) override;
    bool HasFocus(MainControl control) override;
    void SetFocus(MainControl control) override;
    void ShowBusyCursor(bool busy) override { m_busy = busy; }
    void ShowStatus(const std::string& brief, const std::string& full) override;
    void ShowMessage(const std::string& text) override;
    bool OpenAddress(const std::string& url) override;
    bool PutOnClipboard(const std::string& text) override;
    std::optional<SaveFileChoice> AskSaveFileName() override;
    void Post(Task task) override { m_tasks.Post(std::move(task)); }

    bool Busy() const { return m_busy; }
    StatusLineControl& StatusLine() { return m_statusLine; }
    WindowTaskQueue& Tasks() { return m_tasks; }

  private:
    HWND Control(MainControl control) const;

    HWND m_dialog;
    bool m_busy = false;
    StatusLineControl m_statusLine;
    WindowTaskQueue m_tasks;
};

}  // namespace vindle
