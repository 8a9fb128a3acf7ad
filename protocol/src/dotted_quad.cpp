#include "dotted_quad.h"

#include <cstdio>

namespace varl {
namespace {

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }

}  // namespace

uint32_t ParseDottedQuad(std::string_view text) {
    if (text.find_first_not_of("0123456789.") != std::string_view::npos) return 0;
    std::size_t dots = 0;
    for (char c : text) dots += c == '.' ? 1 : 0;
    if (dots < 3 || text.front() == '.') return 0;

    uint32_t result = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        // The part's leading digits, modulo 2^32; a part without digits contributes 0. The
        // fourth part ends at a further dot like the others, which drops anything after it.
        uint32_t value = 0;
        while (pos < text.size() && IsDecimal(text[pos])) {
            value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
            ++pos;
        }
        result = result * 256 + value;
        if (part < 3) pos = text.find('.', pos) + 1;
    }
    return result;
}

std::string FormatDottedQuad(uint32_t value) { return AddressText(value).text; }

AddressText::AddressText(uint32_t address) {
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, address >> 16 & 255, address >> 8 & 255,
                  address & 255);
}

}  // namespace varl
