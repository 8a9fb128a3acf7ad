// How a unit is shown: the texts of the device tree's items, the serial of the Device
// Configuration dialog and the unit's web address, shared by every program that lists units.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ipv4_text.h"
#include "varl.h"

namespace quorrel {

// The serial as at least five upper-case hexadecimal digits: 1F gives 0001F.
std::string FormatSerial(std::uint32_t serial);

// The chip name as stored in the record (8-bit text), never read past its 20 bytes.
std::string ChipName(const DeviceRecord& record);

inline constexpr const char* kNetworkItemText = "Network Configuration";

// "S/N 0A1F3h" for serial A1F3.
std::string DeviceItemText(const DeviceRecord& record);

// The unit's web page, which a browser opens: "http://10.77.0.11/".
std::string WebAddress(const DeviceRecord& record);

// Chip name, DHCP ("On" only for mode 1), address, mask and gateway, in tree order.
std::vector<std::string> DetailItemTexts(const DeviceRecord& record);

}  // namespace quorrel
