#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vindle {

// The main window's controls that its logic enables, shows or focuses.
enum class MainControl { Retrieve, Stop, Browse, DeviceList };

// The file "Save List As" chose, and the type its filter named.
enum class SaveFileType { Csv, Json };
struct SaveFileChoice {
    std::string path;  // as the system's file functions take it (UTF-8 on Windows)
    SaveFileType filterType = SaveFileType::Csv;
};

// What the main window's logic asks of a window. Texts that name files or carry the system's
// reasons come in the system's encoding (UTF-8 on Windows); device texts are UTF-8. Every call but
// Post() comes on the window's thread.
class MainWindowView {
  public:
    using Task = std::function<void()>;

    virtual ~MainWindowView() = default;

    virtual void EnableControl(MainControl control, bool enabled) = 0;
    virtual void ShowControl(MainControl control, bool shown) = 0;
    virtual bool HasFocus(MainControl control) = 0;
    virtual void SetFocus(MainControl control) = 0;
    // The busy cursor over the device list while a search runs.
    virtual void ShowBusyCursor(bool busy) = 0;
    // The status line's text and the longer text its tooltip shows (`full` empty: the same).
    virtual void ShowStatus(const std::string& brief, const std::string& full) = 0;
    // A warning box owned by the window (caption "Qarv Vindle", OK); returns once answered.
    virtual void ShowMessage(const std::string& text) = 0;
    // Hands a web page's address to the desktop; false when no browser could be started.
    virtual bool OpenAddress(const std::string& url) = 0;
    // Replaces the clipboard's text; false when the clipboard cannot be used.
    virtual bool PutOnClipboard(const std::string& text) = 0;
    // Asks for the file to save the list to; nothing when the user cancelled.
    virtual std::optional<SaveFileChoice> AskSaveFileName() = 0;
    // Any thread: runs `task` on the window's thread later and returns at once. Tasks run in the
    // order they were posted; once the window is closing they are dropped.
    virtual void Post(Task task) = 0;
};

}  // namespace vindle
