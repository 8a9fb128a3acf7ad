// Units that report the same address. Two units answering for one address reach neither reliably,
// and an administrator easily takes that for a broken unit, so both programs point such units out
// and refuse to create another.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "varl.h"

namespace quorrel {

// For each unit whose address another unit reports too: the other units' serials, in the order
// they are listed. 0.0.0.0 is no address (a DHCP unit still waiting for a lease) and conflicts with
// nothing; a serial listed twice is one unit.
std::map<std::uint32_t, std::vector<std::uint32_t>> AddressConflicts(const std::vector<DeviceRecord>& units);

// The first unit other than the one with serial that reports address, if any: the unit a
// configuration giving that address would collide with. Nothing for 0.0.0.0.
std::optional<std::uint32_t> UnitHoldingAddress(const std::vector<DeviceRecord>& units, std::uint32_t address,
                                                std::uint32_t serial);

}  // namespace quorrel
