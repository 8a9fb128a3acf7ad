#include "serial_text.h"

#include <charconv>

namespace quorrel::cli {

std::optional<std::uint32_t> ParseSerial(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string BadSerialText(std::string_view text) {
    return "bad serial '" + std::string(text) + "': expected one to five hexadecimal digits";
}

}  // namespace quorrel::cli
