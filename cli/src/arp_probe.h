// The address probe of a real network: ARP probes on the unit's link, as RFC 5227 describes a host
// checking an address before it takes it.
#pragma once

#include "address_probe.h"

namespace quorrel::cli {

// The link of a unit is the interface of this computer whose subnet holds the address the unit
// reported, or else its new address; an address on no such link is not probed (a router lies in
// between, and ARP does not cross it). On that link three probes go out a third of a second apart
// (sender address 0.0.0.0, so that no host's table learns the address), and answers are awaited
// until a second has passed. Any host that then answers for the address, announces it or probes
// for it too holds it. An address this computer has itself is held without a probe. Probing
// needs CAP_NET_RAW; without it nothing goes out.
class ArpProbe final : public AddressProbe {
public:
    ProbeReport Probe(const std::vector<ProbedAddress>& addresses) const override;
};

}  // namespace quorrel::cli
