#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/main_window_view.h"

namespace vindle {

// What the main window asks of the system for its row actions. Texts are UTF-8.

// Starts the desktop's browser on `url`; false when none started.
bool OpenUrl(const std::string& url);
// Replaces the clipboard's text; false when the clipboard cannot be opened or takes nothing.
bool PutClipboardText(HWND owner, const std::string& text);
// The file dialog "Save List As" over `owner`: CSV or JSON; nothing when cancelled.
std::optional<SaveFileChoice> AskSaveFile(HWND owner);
// A warning box over `owner` with the caption "Qarv Vindle" and OK.
void ShowWarning(HWND owner, const std::string& text);

}  // namespace vindle
