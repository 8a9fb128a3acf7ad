#include "lab_units.h"

#include <algorithm>

namespace sim {

std::vector<SimulatedUnit> LabUnits(int count) {
    std::vector<SimulatedUnit> units;
    for (uint32_t i = 0; i < static_cast<uint32_t>(count < 0 ? 0 : count); ++i) {
        SimulatedUnit unit;
        unit.serial = (0x1A2B3 + i * 0x1111) & 0xFFFFF;
        unit.dhcp = i % 3 == 2 ? 1 : 0;
        unit.address = 0x0A4D000A + i;
        unit.netMask = 0xFFFF0000;
        unit.gateway = 0x0A4D0001;
        unit.chipName = i % 2 == 0 ? "QX-100" : "QX-200";
        units.push_back(unit);
    }
    return units;
}

std::vector<SimulatedUnit> RoutedSiteUnits(int count) {
    std::vector<SimulatedUnit> units = LabUnits(std::clamp(count, 0, 190));
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i].serial = (0xC1D2E + static_cast<uint32_t>(i) * 0x1111) & 0xFFFFF;
        units[i].address = 0x0A50000A + static_cast<uint32_t>(i);
        units[i].netMask = 0xFFFFFF00;
        units[i].gateway = 0x0A500001;
    }
    return units;
}

std::vector<SimulatedUnit> TwoLinkLabUnits(int count) {
    std::vector<SimulatedUnit> units = LabUnits(count);
    for (SimulatedUnit& unit : units) unit.link = kFirstLink;
    const auto secondLinkUnit = [](uint32_t serial, int dhcp, uint32_t address, uint32_t netMask, uint32_t gateway,
                                   const char* chip) {
        SimulatedUnit unit;
        unit.serial = serial;
        unit.dhcp = dhcp;
        unit.address = address;
        unit.netMask = netMask;
        unit.gateway = gateway;
        unit.chipName = chip;
        unit.link = kSecondLink;
        return unit;
    };
    units.push_back(secondLinkUnit(0xA1B2C, 0, 0x0A4E000A, 0xFFFF0000, 0x0A4E0001, "QX-100"));
    units.push_back(secondLinkUnit(0xA2C3D, 1, 0x0A4E000B, 0xFFFF0000, 0x0A4E0001, "QX-200"));
    units.push_back(secondLinkUnit(0xA3D4E, 0, 0xC0A80164, 0xFFFFFF00, 0xC0A80101, "QX-100"));
    return units;
}

std::string FormatUnitTable(const std::vector<SimulatedUnit>& units) {
    std::string table;
    for (const SimulatedUnit& unit : units) {
        table += "unit " + FormatReply(unit);
        if (!unit.link.empty()) table += " link=" + unit.link;
        table += "\n";
    }
    return table;
}

}  // namespace sim
