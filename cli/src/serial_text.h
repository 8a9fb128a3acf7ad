// A unit's serial as a person types it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorrel::cli {

// One to five hexadecimal digits in either case, nothing else (no blanks, no "0x", no "h"): the
// most a serial has on the wire. Nothing for any other text.
std::optional<std::uint32_t> ParseSerial(std::string_view text);

// The error line for a text ParseSerial refused.
std::string BadSerialText(std::string_view text);

}  // namespace quorrel::cli
