#pragma once

#include <string>
#include <string_view>

namespace vindle {

// The lists' texts are bytes, one character per byte (Latin-1); the W functions take UTF-16. Byte
// b is code unit b and back, so every byte a printer sent is shown and read back as itself.

inline std::wstring Latin1ToWide(std::string_view bytes) {
    std::wstring text(bytes.size(), L'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    }
    return text;
}

// A code unit above U+00FF has no byte: it becomes '?'.
inline std::string WideToLatin1(std::wstring_view text) {
    std::string bytes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<unsigned long>(text[i]);
        bytes[i] = unit <= 0xFF ? static_cast<char>(unit) : '?';
    }
    return bytes;
}

}  // namespace vindle
