#include "platform/ipv4_text.h"

namespace vindle {

std::string FormatIpv4(Ipv4Address address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) {
            text += '.';
        }
        text += std::to_string((address >> shift) & 0xFFu);
    }
    return text;
}

std::optional<Ipv4Address> ParseIpv4(std::string_view text) {
    Ipv4Address address = 0;
    int parts = 0;
    std::size_t pos = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) {
            return std::nullopt;
        }
        address = (address << 8) | value;
        ++parts;
        if (parts < 4) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return address;
}

}  // namespace vindle
