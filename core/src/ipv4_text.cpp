#include "ipv4_text.h"

#include <cstdio>

namespace quorrel {

std::string FormatAddress(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%01d.%01d.%01d.%01d", static_cast<int>((value >> 24) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>(value & 0xFF));
    return text;
}

std::optional<std::uint32_t> ParseAddress(std::string_view text) {
    std::uint32_t value = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') return std::nullopt;
            ++at;
        }
        std::size_t digits = 0;
        unsigned octet = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            octet = octet * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || octet > 255) return std::nullopt;
        value = (value << 8) | octet;
    }
    if (at != text.size()) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> MaskFromPrefix(int prefixLength) {
    if (prefixLength < 0 || prefixLength > 32) return std::nullopt;
    return prefixLength == 0 ? 0u : ~0u << (32 - prefixLength);
}

bool IsContiguousMask(std::uint32_t value) {
    // The complement of a mask is a run of low ones, and such a run plus one has no bit in common
    // with it.
    const std::uint32_t hostBits = ~value;
    return (hostBits & (hostBits + 1)) == 0;
}

}  // namespace quorrel
