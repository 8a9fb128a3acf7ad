// Building, comparing and printing DeviceRecords in tests. Records compare byte for byte, padding
// and the bytes after the chip name's NUL included.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string_view>

#include "varl.h"

inline bool operator==(const DeviceRecord& a, const DeviceRecord& b) {
    return std::memcmp(&a, &b, sizeof(DeviceRecord)) == 0;
}

inline void PrintTo(const DeviceRecord& record, std::ostream* out) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "{serial %05X, dhcp %u, padding %02x%02x%02x, %08X/%08X/%08X, chip \"%.20s\"}",
                  record.serial, record.dhcpMode, record.padding[0], record.padding[1],
                  record.padding[2], record.address, record.netMask, record.gateway, record.chipName);
    *out << text;
}

namespace varl::testing {

// A record as a reply fills it: zero everywhere the values do not reach.
inline DeviceRecord MakeRecord(uint32_t serial, uint8_t dhcpMode, uint32_t address, uint32_t netMask,
                               uint32_t gateway, std::string_view chipName) {
    DeviceRecord record{};
    record.serial = serial;
    record.dhcpMode = dhcpMode;
    record.address = address;
    record.netMask = netMask;
    record.gateway = gateway;
    std::memcpy(record.chipName, chipName.data(), std::min(chipName.size(), sizeof record.chipName - 1));
    return record;
}

// A record whose every byte is fill, to show which bytes a call wrote.
inline DeviceRecord FilledRecord(unsigned char fill) {
    DeviceRecord record;
    std::memset(&record, fill, sizeof record);
    return record;
}

}  // namespace varl::testing
