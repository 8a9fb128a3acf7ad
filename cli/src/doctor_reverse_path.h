// quorrel doctor's reverse-path check. With a strict reverse-path filter (rp_filter 1) the kernel
// drops a datagram whose source it would not route back out of the interface it came in on: a
// unit answering from an address outside that interface's subnets (one moved to a foreign
// subnet, or reset to its factory address) is dropped before any firewall or program sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "doctor_report.h"

namespace quorrel::cli {

// A unit whose answer reached an interface from an address outside that interface's subnets.
struct ForeignAnswer {
    std::uint32_t serial = 0;
    std::uint32_t source = 0;
    // The library got the answer.
    bool received = false;
};

struct ForeignAnswers {
    std::string interface;
    // The effective filter, the larger of net.ipv4.conf.all.rp_filter and the interface's own:
    // 0 off, 1 strict, 2 loose. None when unreadable.
    std::optional<int> reversePathFilter;
    std::vector<ForeignAnswer> answers;
};

// The effective rp_filter of an interface, read from /proc/sys.
std::optional<int> ReadReversePathFilter(const std::string& interface);

// The units the strict filter dropped: answers from outside the subnets that never reached the
// library, on an interface whose filter is strict.
std::set<std::uint32_t> DroppedByReversePath(const std::vector<ForeignAnswers>& foreign);

// captured: whether the answers at the interfaces were counted at all.
CheckResult CheckReversePath(bool captured, const std::vector<ForeignAnswers>& foreign);

}  // namespace quorrel::cli
