// Changing a unit's addressing: what the Device Configuration dialog's choices make of a record,
// and sending it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "call_failure.h"
#include "library_exports.h"
#include "varl.h"

namespace quorrel {

// The DHCP choice of the dialog: Off, On, or neither button chosen.
inline constexpr int kDhcpOff = 0;
inline constexpr int kDhcpOn = 1;
inline constexpr int kDhcpNeither = -1;

struct AddressingChoice {
    int dhcp = kDhcpNeither;
    std::uint32_t address = 0;
    std::uint32_t netMask = 0;
    std::uint32_t gateway = 0;
};

// The record with the choice written in: the mode is the choice's low byte (neither gives 255,
// which the library sends as DHCP); DHCP on zeroes the three addresses, any other choice takes
// them as given. The serial and the chip name are never changed.
DeviceRecord ApplyAddressingChoice(DeviceRecord record, const AddressingChoice& choice);

// Broadcasts the set-configuration message for the record, naming the unit by its serial. No unit
// answers it: success means only that it was sent. beforeCall runs once the export is found,
// just before the call.
std::optional<CallFailure> SendConfiguration(const LibraryExports& library, const DeviceRecord& record,
                                             const std::function<void()>& beforeCall = {});

}  // namespace quorrel
