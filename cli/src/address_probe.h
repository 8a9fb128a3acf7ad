// Asking a unit's link whether a host already holds the address the unit is about to take. A host
// that no discovery lists (a PC, a printer, another maker's device) would otherwise share it
// with the unit, and neither would be reached reliably.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorrel::cli {

struct ProbedAddress {
    // The address the unit is to take.
    std::uint32_t address = 0;
    // The address the unit reported, which tells the link it lies on; 0.0.0.0 when unknown.
    std::uint32_t unitAddress = 0;
};

struct AddressHolder {
    std::uint32_t address = 0;
    // The holder's hardware address, "02:00:0a:4d:00:02".
    std::string mac;
    // The interface its answer came in on.
    std::string link;
    // The address is one of this computer's own, on that interface.
    bool thisComputer = false;
};

struct ProbeReport {
    // The process may not send frames of its own (it lacks CAP_NET_RAW): nothing went out.
    bool noCapability = false;
    std::vector<AddressHolder> holders;
    // What was probed where and what was not, and why: said with --verbose.
    std::vector<std::string> notes;
    // A link the probe could not use: always said, since the probe's protection is then missing.
    std::vector<std::string> warnings;
};

class AddressProbe {
public:
    virtual ~AddressProbe() = default;

    // Probes all the addresses at once and returns when each has an answer or the time is up.
    virtual ProbeReport Probe(const std::vector<ProbedAddress>& addresses) const = 0;
};

}  // namespace quorrel::cli
