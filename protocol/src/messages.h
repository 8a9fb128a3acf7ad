// The text messages exchanged with the units over UDP.
// Pure conversions: no state, no input or output.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "varl.h"

namespace varl {

// Both messages the library sends are built in a buffer of this many bytes with a terminating
// zero, and the datagram carries the text without the zero. Replies are received into one too.
inline constexpr std::size_t kMessageBufferSize = 200;
using MessageBuffer = std::array<char, kMessageBufferSize>;

// The discovery request: device field 0, message code 1. On the wire exactly 30 20 31.
inline constexpr std::string_view kDiscoverRequest = "0 1";

// Reads one reply datagram, "SERIAL DHCP ADDRESS MASK GATEWAY CHIP" with fields separated by any
// white space, into record. Field widths follow the scanf format "%5X %1d %15s %15s %15s %s": a
// longer field is cut and its rest begins the next field; conversion stops at the first field
// that does not convert, or at the first zero byte. Only the datagram's own bytes are read.
// The record is zeroed first, so fields the reply does not give are 0 and the padding is 0;
// a chip name longer than 19 characters is cut to 19.
// Returns whether the serial field converted: a datagram without a serial is not a unit's reply.
bool ParseDeviceReply(std::string_view datagram, DeviceRecord& record);

// Writes the set-configuration message for record with its terminating zero into buffer and
// returns its length without the zero. A non-zero dhcpMode gives the DHCP form
// "%05X 5 %1.1d    " (the four trailing blanks are part of the message); dhcpMode 0 gives the
// static form "SERIAL 5 0 ADDRESS MASK GATEWAY" with dotted addresses.
std::size_t FormatSetConfig(MessageBuffer& buffer, const DeviceRecord& record);

}  // namespace varl
