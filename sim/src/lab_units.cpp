#include "lab_units.h"

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

std::string FormatUnitTable(const std::vector<SimulatedUnit>& units) {
    std::string table;
    for (const SimulatedUnit& unit : units) table += "unit " + FormatReply(unit) + "\n";
    return table;
}

}  // namespace sim
