#include "unit_addressing.h"

namespace sim {

bool Reaches(const SimulatedUnit& unit, std::string_view link, uint32_t destination) {
    if (!Hears(unit, link)) return false;
    return destination == 0xFFFFFFFF || destination == (unit.address | ~unit.netMask) || destination == unit.address;
}

SimulatedUnit* ApplySetConfigReaching(UnitTable& table, std::string_view message, std::string_view link,
                                      uint32_t destination) {
    return ApplySetConfigTo(table, message,
                            [&](const SimulatedUnit& unit) { return Reaches(unit, link, destination); });
}

}  // namespace sim
