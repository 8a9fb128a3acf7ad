// quorrel doctor's first check: which interfaces carry the discovery broadcast, and why each
// other one does not, by the library's own rules.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "doctor_report.h"
#include "network_interfaces.h"

namespace quorrel::cli {

// The library's choice on this machine, narrowed by VARL_INTERFACES as the library narrows it.
varl::InterfaceChoice ReadInterfaceChoice();

CheckResult CheckInterfaces(const varl::InterfaceChoice& choice);

// One IPv4 address of an interface, with its net mask.
struct Subnet {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;

    bool Holds(std::uint32_t other) const { return (other & mask) == (address & mask); }
};

// Every IPv4 address of each interface, by name; an address with a label ("eth0:1") under its
// interface's name.
std::map<std::string, std::vector<Subnet>> ReadSubnets();

}  // namespace quorrel::cli
