// quorrel doctor's live discovery: the units the library finds, against the answers that reached
// each interface (where the capture could count them), and what on this PC dropped the rest.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "call_failure.h"
#include "doctor_firewall.h"
#include "doctor_interfaces.h"
#include "doctor_report.h"
#include "doctor_reverse_path.h"
#include "library_exports.h"

namespace quorrel::cli {

// The units whose answers reached one interface: serial and the address it came from.
struct InterfaceAnswers {
    std::string interface;
    std::map<std::uint32_t, std::uint32_t> units;
};

struct DiscoveryFacts {
    std::optional<CallFailure> failure;
    std::vector<DeviceRecord> units;
    // Whether the answers at the interfaces were counted; why not, when not.
    bool captured = false;
    std::string captureWhyNot;
    // In order of interface name.
    std::vector<InterfaceAnswers> reached;
};

// Discovers with the library while the capture, where it can be had, counts the answers.
DiscoveryFacts RunLiveDiscovery(const LibraryExports& library, std::uint32_t timeoutMs);

// The answers that came from outside their interface's subnets, with each interface's filter.
std::vector<ForeignAnswers> FindForeignAnswers(const DiscoveryFacts& facts,
                                               const std::map<std::string, std::vector<Subnet>>& subnets);

// blocking: the firewall that keeps the answers out, or null. droppedByReversePath: the units a
// strict reverse-path filter dropped. withoutCarrier: interfaces that are up without a carrier.
CheckResult CheckDiscovery(const DiscoveryFacts& facts, const FirewallFinding* blocking,
                           const std::set<std::uint32_t>& droppedByReversePath,
                           const std::vector<std::string>& withoutCarrier);

}  // namespace quorrel::cli
