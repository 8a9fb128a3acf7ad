// The units a lab starts with (scripts/lab --units N): one formula, which the lab, its tests and
// the tool's tests all take their units from.
#pragma once

#include <string>
#include <vector>

#include "unit_table.h"

namespace sim {

// The first count units of a lab, in answer order. Unit i has the serial
// (0x1A2B3 + i * 0x1111) & 0xFFFFF and the address 10.77.0.10 + i (10.77.1.0 follows
// 10.77.0.255), mask 255.255.0.0 and gateway 10.77.0.1; DHCP is on for every third unit (i = 2,
// 5, ...), and the chip is QX-100 for even i and QX-200 for odd i.
std::vector<SimulatedUnit> LabUnits(int count);

// The unit table file text for units: one "unit" line each, without options.
std::string FormatUnitTable(const std::vector<SimulatedUnit>& units);

}  // namespace sim
