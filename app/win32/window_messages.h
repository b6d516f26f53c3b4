#pragma once

#include <windows.h>

// The main window's private messages, posted by the search's worker thread.
constexpr UINT WM_APP_ROWS_CHANGED = WM_APP + 1;
constexpr UINT WM_APP_RUN_TASKS = WM_APP + 2;
