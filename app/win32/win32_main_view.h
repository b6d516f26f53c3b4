#pragma once

#include <windows.h>

#include <deque>
#include <mutex>

#include "app/win32/status_line_control.h"
#include "platform/main_window_view.h"

namespace vindle {

// The main window's controls and the system's services as the view its logic drives. Texts from
// the logic are UTF-8. Tasks posted from any thread cost one message `taskMessage` to the window
// for the first one waiting; the window answers it with RunPosted().
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
    void Post(Task task) override;

    bool Busy() const { return m_busy; }
    StatusLineControl& StatusLine() { return m_statusLine; }
    // The window's thread: runs the tasks waiting, in the order they were posted.
    void RunPosted();
    // The window is closing: from now on tasks are dropped.
    void DropPosted();

  private:
    HWND Control(MainControl control) const;

    HWND m_dialog;
    UINT m_taskMessage;
    bool m_busy = false;
    StatusLineControl m_statusLine;
    std::mutex m_mutex;
    bool m_dropping = false;
    std::deque<Task> m_tasks;
};

}  // namespace vindle
