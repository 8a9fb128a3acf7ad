// The words set and apply use for an addressing: what was asked, and what a unit reports.
#pragma once

#include <cstdint>
#include <string>

#include "addressing.h"
#include "confirmation.h"
#include "varl.h"

namespace quorrel::cli {

// "DHCP On", or "DHCP Off, address 10.77.0.20, mask 255.255.0.0, gateway 10.77.0.1".
std::string AddressingText(const Addressing& addressing);

// What a unit reports, in the same words; a DHCP digit other than 0 and 1 is shown as it is.
std::string ReportedText(const DeviceRecord& unit);

// "not confirmed: asked for WANTED, the unit reports NOW" for a serial the confirmation did not
// confirm, or "..., the unit no longer answers".
std::string NotConfirmedText(std::uint32_t serial, const Addressing& wanted, const Confirmation& confirmation);

}  // namespace quorrel::cli
