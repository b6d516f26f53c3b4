#pragma once

#include <string>
#include <string_view>

namespace vindle {

// Conversions for the W functions: UTF-8 (file names, the row formats' output) and the ANSI code
// page (texts the system gives in it: error messages, the settings file's path).
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);
std::string AnsiToUtf8(std::string_view text);

// LF line ends as CRLF, as the clipboard's text and message boxes expect them.
std::wstring WithCrLf(std::wstring_view text);

}  // namespace vindle
