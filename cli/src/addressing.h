// The addressing a command asks a unit to take, reading it as a person types it, and whether a
// unit reports it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "varl.h"

namespace quorrel::cli {

struct Addressing {
    bool dhcp = false;
    // Only for static addressing; DHCP leaves a unit's addresses to its DHCP server.
    std::uint32_t address = 0;
    std::uint32_t netMask = 0;
    std::uint32_t gateway = 0;
};

// Whether the unit's record shows the addressing: DHCP on for DHCP; otherwise static with the
// three values.
bool UnitReports(const DeviceRecord& unit, const Addressing& wanted);

// The record the set-configuration message is made from: the unit's, with the addressing written
// in. Its serial names the unit.
DeviceRecord RecordToSend(const DeviceRecord& unit, const Addressing& wanted);

// "DHCP On", or "DHCP Off, address 10.77.0.20, mask 255.255.0.0, gateway 10.77.0.1".
std::string AddressingText(const Addressing& addressing);
// What a unit reports, in the same words; a DHCP digit other than 0 and 1 is shown as it is.
std::string ReportedText(const DeviceRecord& unit);

// A warning when a static gateway lies outside the subnet of the address: the unit would not reach
// it. Not an error, since some sites rely on it. A gateway of 0.0.0.0 means none.
std::optional<std::string> GatewayWarning(const Addressing& addressing);

// Readers of the parts of a static addressing. Each returns the value, or sets error to one line
// that quotes the text and says what is wrong. what names the field ("address", "gateway").
std::optional<std::uint32_t> ReadAddress(std::string_view what, std::string_view text, std::string& error);
std::optional<std::uint32_t> ReadMask(std::string_view text, std::string& error);

// ADDRESS or ADDRESS/PREFIX, with the mask given either as the prefix or as maskText (never both,
// one of them required) and an optional gateway (none: 0.0.0.0).
std::optional<Addressing> ReadStaticAddressing(std::string_view addressText, const std::optional<std::string>& maskText,
                                               const std::optional<std::string>& gatewayText, std::string& error);

}  // namespace quorrel::cli
