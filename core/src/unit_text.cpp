#include "unit_text.h"

#include <cstdio>
#include <cstring>

namespace quorrel {

std::string FormatSerial(std::uint32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%.5X", serial);
    return text;
}

std::string ChipName(const DeviceRecord& record) {
    return std::string(record.chipName, strnlen(record.chipName, sizeof record.chipName));
}

std::string DeviceItemText(const DeviceRecord& record) { return "S/N " + FormatSerial(record.serial) + "h"; }

std::string WebAddress(const DeviceRecord& record) { return "http://" + FormatAddress(record.address) + "/"; }

std::vector<std::string> DetailItemTexts(const DeviceRecord& record) {
    return {
        "Chip Name: " + ChipName(record),
        std::string("DHCP: ") + (record.dhcpMode == 1 ? "On" : "Off"),
        "Address: " + FormatAddress(record.address),
        "Mask: " + FormatAddress(record.netMask),
        "Gateway: " + FormatAddress(record.gateway),
    };
}

}  // namespace quorrel
