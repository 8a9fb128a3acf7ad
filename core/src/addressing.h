// The addressing a user asks a unit to take, as the Device Configuration dialog, quorrel set and
// quorrel apply ask for it: what it makes of the unit's record, and whether a unit reports it.
#pragma once

#include <cstdint>

#include "varl.h"

namespace quorrel {

// The dialog's DHCP buttons: Off, On, or neither chosen (a unit that reported another mode, left
// as it was). The values are the dialog's button ids, and Neither its id for no button checked.
enum class DhcpChoice : int { Off = 0, On = 1, Neither = -1 };

struct Addressing {
    DhcpChoice dhcp = DhcpChoice::Neither;
    // Sent with Off and Neither; DHCP on leaves a unit's addresses to its DHCP server.
    std::uint32_t address = 0;
    std::uint32_t netMask = 0;
    std::uint32_t gateway = 0;

    static Addressing Dhcp() { return {DhcpChoice::On}; }
    static Addressing Static(std::uint32_t address, std::uint32_t netMask, std::uint32_t gateway) {
        return {DhcpChoice::Off, address, netMask, gateway};
    }

    bool operator==(const Addressing&) const = default;
};

// The record the set-configuration message is made from: the unit's, with the addressing written
// in. The mode is the choice's low byte (Neither gives 255, which the library sends as DHCP); DHCP
// on zeroes the three addresses, any other choice takes them as given. The serial, which names
// the unit, and the chip name are never changed.
DeviceRecord RecordWithAddressing(DeviceRecord record, const Addressing& wanted);

// Whether a unit's record shows the addressing: DHCP on (mode 1) for On; mode 0 and the three
// values for Off. Neither is never reported: no reply carries the 255 it sends.
bool UnitReports(const DeviceRecord& unit, const Addressing& wanted);

}  // namespace quorrel
