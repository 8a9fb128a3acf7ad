// The dotted text of IPv4 values, as the units' messages and the FTP address carry it.
// Pure conversions: no state, no input or output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varl {

// The IPv4 value of a dotted text such as "192.168.0.10" (0xC0A8000A), or 0 for a text it
// rejects: any character other than digits and dots, fewer than three dots, or a leading dot.
// The text is cut at its first three dots; each part contributes its leading decimal digits
// (0 when it has none), the fourth stops at a further dot. Parts are not limited to 255: a larger
// part carries into the octet above, all in unsigned 32-bit arithmetic.
uint32_t ParseDottedQuad(std::string_view text);

// The four octets of value, most significant first, in decimal without leading zeros: "10.0.0.1".
std::string FormatDottedQuad(uint32_t value);

// The same text in a buffer of its own, for code that must not take memory from the heap.
struct AddressText {
    explicit AddressText(uint32_t address);
    char text[16];
};

}  // namespace varl
