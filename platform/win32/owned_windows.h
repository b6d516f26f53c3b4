#pragma once

#include <windows.h>

namespace vindle {

// Ends what this thread shows over `owner` as the user's Cancel would: an open menu, and every
// owned window (dialogs, message boxes, the file dialog), those over them first. Their modal runs
// return once the posted cancels arrive. True when such a window was open.
bool CancelOwnedWindows(HWND owner);

}  // namespace vindle
