#include "unit_addressing.h"

#include <cstddef>
#include <vector>

namespace sim {

bool Reaches(const SimulatedUnit& unit, std::string_view link, uint32_t destination) {
    if (!Hears(unit, link)) return false;
    return destination == 0xFFFFFFFF || destination == (unit.address | ~unit.netMask) || destination == unit.address;
}

SimulatedUnit* ApplySetConfigReaching(UnitTable& table, std::string_view message, std::string_view link,
                                      uint32_t destination) {
    UnitTable reached;
    std::vector<std::size_t> places;
    for (std::size_t i = 0; i < table.units.size(); ++i) {
        if (!Reaches(table.units[i], link, destination)) continue;
        reached.units.push_back(table.units[i]);
        places.push_back(i);
    }
    const SimulatedUnit* changed = ApplySetConfig(reached, message, link);
    if (changed == nullptr) return nullptr;
    SimulatedUnit& unit = table.units[places[static_cast<std::size_t>(changed - reached.units.data())]];
    unit = *changed;
    return &unit;
}

}  // namespace sim
