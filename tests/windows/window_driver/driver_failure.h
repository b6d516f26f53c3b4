#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace vindle {

// A check of a scenario that did not hold; its text says what was expected and what was seen.
class DriverFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline void Expect(bool condition, const std::string& message) {
    if (!condition) {
        throw DriverFailure(message);
    }
}

// The system's text for an error code, without its line end.
std::string SystemErrorText(DWORD error);

// UTF-16 texts as the driver prints them: the window shows a printer's bytes as code units
// below 256 (Latin-1), so those become the bytes again; anything else becomes '?'.
std::string ToBytes(const std::wstring& text);

}  // namespace vindle
