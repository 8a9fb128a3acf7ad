// Confirming that units took the addressing they were sent. No unit answers a set-configuration
// message, so the only proof is a discovery that shows the new values.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "addressing.h"
#include "call_failure.h"
#include "library_exports.h"
#include "varl.h"

namespace quorrel {

// A unit that takes a while to change its addressing is waited for three time-outs in all, in
// rounds of a quarter time-out each: units that take their values at once are confirmed after the
// first quarter.
inline constexpr std::uint32_t kConfirmationTimeOuts = 3;
inline constexpr std::uint32_t kConfirmationRoundsPerTimeOut = 4;

struct SentConfiguration {
    std::uint32_t serial = 0;
    Addressing wanted;
};

struct Confirmation {
    std::set<std::uint32_t> confirmed;
    // What each unit reported in the last discovery it answered; absent when it answered none.
    std::map<std::uint32_t, DeviceRecord> lastReports;
    // A discovery failed; the units not confirmed by then stay unconfirmed.
    std::optional<CallFailure> failure;
};

// Discovers every unit in short rounds, for all sent configurations at once, and ends after the
// first round in which every unit sent to reports what it was sent; gives up when the rounds'
// time-outs add up to kConfirmationTimeOuts of timeoutMs. Each round asks with room for
// firstCapacity records, as DiscoverAllUnits does.
Confirmation ConfirmConfigurations(const LibraryExports& library, const std::vector<SentConfiguration>& sent,
                                   std::uint32_t firstCapacity, std::uint32_t timeoutMs);

}  // namespace quorrel
