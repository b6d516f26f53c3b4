#pragma once

#include <string>
#include <string_view>

namespace vindle {

// The system's message for a Windows or Winsock error code, in UTF-8 as every text of the core
// on Windows, without its closing line break; "error N" when the system has no text for it.
std::string SystemErrorText(unsigned long error);

// UTF-16 text of the W functions as UTF-8.
std::string WideToUtf8(std::wstring_view text);

}  // namespace vindle
