#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win/win_error.h"

namespace vindle {

// Conversions for the W functions: the core's texts on Windows are UTF-8 (paths, the system's
// error texts, the row formats' output). WideToUtf8 comes with the system's error texts.
std::wstring Utf8ToWide(std::string_view text);

// LF line ends as CRLF, as the clipboard's text and message boxes expect them.
std::wstring WithCrLf(std::wstring_view text);

// A message box whose UTF-8 `text` may span lines.
int MessageBoxUtf8(HWND owner, std::string_view text, const wchar_t* caption, UINT type);

}  // namespace vindle
