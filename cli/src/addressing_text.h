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

// "1B3C4 would be set to WANTED (reports NOW)", what a dry run says of a unit it would send to; a
// unit that did not answer (null) "(no unit answered)" instead.
std::string WouldBeSetText(std::uint32_t serial, const Addressing& wanted, const DeviceRecord* unit);

// "1B3C4 unchanged: NOW", for a unit that reports the addressing already.
std::string UnchangedText(const DeviceRecord& unit);

// "not confirmed: asked for WANTED, the unit reports NOW" for a serial the confirmation did not
// confirm, or "..., the unit no longer answers".
std::string NotConfirmedText(std::uint32_t serial, const Addressing& wanted, const Confirmation& confirmation);

}  // namespace quorrel::cli
