// The units a lab starts with (scripts/lab --units N [--second-link]): one formula, which the lab,
// its tests and the tool's tests all take their units from.
#pragma once

#include <string>
#include <vector>

#include "unit_table.h"

namespace sim {

// The units' side interfaces of the lab's two links: the first link (lab0 on the administrator's
// side, lab1 on the units' side) and the optional second one (lab2 and lab3).
inline constexpr const char* kFirstLink = "lab1";
inline constexpr const char* kSecondLink = "lab3";

// The first count units of a lab, in answer order. Unit i has the serial
// (0x1A2B3 + i * 0x1111) & 0xFFFFF and the address 10.77.0.10 + i (10.77.1.0 follows
// 10.77.0.255), mask 255.255.0.0 and gateway 10.77.0.1; DHCP is on for every third unit (i = 2,
// 5, ...), and the chip is QX-100 for even i and QX-200 for odd i. They hear every link.
std::vector<SimulatedUnit> LabUnits(int count);

// The units of a lab with a second link: the first count units of LabUnits on the first link,
// then three on the second link only: A1B2C at 10.78.0.10/16, A2C3D at 10.78.0.11/16 (DHCP on),
// and A3D4E at 192.168.1.100/24, an address in no subnet of the administrator's side.
std::vector<SimulatedUnit> TwoLinkLabUnits(int count);

// The units of a routed site (scripts/lab --routed-site count), behind a router on the subnet
// 10.80.0.0/24: unit i has the serial (0xC1D2E + i * 0x1111) & 0xFFFFF and the address
// 10.80.0.10 + i (at most 190 units), mask 255.255.255.0 and gateway 10.80.0.1, the router; DHCP
// and chip as in LabUnits.
std::vector<SimulatedUnit> RoutedSiteUnits(int count);

// The unit table file text for units: one "unit" line each, with its link if it has one.
std::string FormatUnitTable(const std::vector<SimulatedUnit>& units);

}  // namespace sim
