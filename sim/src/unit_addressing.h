// Which simulated units a datagram reaches, decided as a real unit's network stack decides it: by
// the link it came in on and the address it was sent to.
#pragma once

#include <cstdint>
#include <string_view>

#include "unit_table.h"

namespace sim {

// Whether a datagram that came in on link, sent to destination (first octet in the most
// significant byte), reaches unit: it must come in on the unit's link (Hears) and be sent to the
// limited broadcast address 255.255.255.255, to the broadcast address of the unit's subnet or to
// the unit's own address.
bool Reaches(const SimulatedUnit& unit, std::string_view link, uint32_t destination);

// ApplySetConfig among the units that a message which came in on link, sent to destination,
// reaches; the others keep their addressing whatever serial it names.
SimulatedUnit* ApplySetConfigReaching(UnitTable& table, std::string_view message, std::string_view link,
                                      uint32_t destination);

}  // namespace sim
