#pragma once

#include <string>

namespace vindle {

// The system's message for a Windows or Winsock error code, in UTF-8 as every text of the core
// on Windows, without its closing line break; "error N" when the system has no text for it.
std::string SystemErrorText(unsigned long error);

}  // namespace vindle
