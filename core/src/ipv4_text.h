// IPv4 values as the programs show and read them: dotted text with the first octet in the most
// significant byte, the encoding of the addresses in DeviceRecord.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorrel {

// "10.77.0.1" for 0x0A4D0001.
std::string FormatAddress(std::uint32_t value);

// The value of a dotted address a person typed: exactly four decimal parts of 1 to 3 digits, each
// at most 255, nothing else (no blanks, no sign). Nothing for any other text.
std::optional<std::uint32_t> ParseAddress(std::string_view text);

// The net mask of a prefix length from 0 to 32: 24 gives 255.255.255.0. Nothing above 32.
std::optional<std::uint32_t> MaskFromPrefix(int prefixLength);

// Whether value is a net mask: ones from the most significant bit on, then only zeros.
bool IsContiguousMask(std::uint32_t value);

}  // namespace quorrel
