#include "driver_failure.h"

namespace vindle {

std::string SystemErrorText(DWORD error) {
    char buffer[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(error) : text;
}

std::string ToBytes(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t unit : text) {
        bytes.push_back(unit < 256 ? static_cast<char>(unit) : '?');
    }
    return bytes;
}

}  // namespace vindle
