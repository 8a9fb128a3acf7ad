// The addressing a command asks for, read as a person types it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "addressing.h"

namespace quorrel::cli {

// Readers of the parts of a static addressing. Each returns the value, or sets error to one line
// that quotes the text and says what is wrong. what names the field ("address", "gateway").
std::optional<std::uint32_t> ReadAddress(std::string_view what, std::string_view text, std::string& error);
std::optional<std::uint32_t> ReadMask(std::string_view text, std::string& error);

// ADDRESS or ADDRESS/PREFIX, with the mask given either as the prefix or as maskText (never both,
// one of them required) and an optional gateway (none: 0.0.0.0).
std::optional<Addressing> ReadStaticAddressing(std::string_view addressText, const std::optional<std::string>& maskText,
                                               const std::optional<std::string>& gatewayText, std::string& error);

// A warning when a static gateway lies outside the subnet of the address: the unit would not reach
// it. Not an error, since some sites rely on it. A gateway of 0.0.0.0 means none.
std::optional<std::string> GatewayWarning(const Addressing& addressing);

}  // namespace quorrel::cli
