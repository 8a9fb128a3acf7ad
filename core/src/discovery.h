// Finding every unit that answers, however many there are.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "call_failure.h"
#include "library_exports.h"
#include "varl.h"

namespace quorrel {

inline constexpr std::uint32_t kDiscoveryTimeoutMs = 2000;
// Serials have five hexadecimal digits, so no more units than this can answer. A larger count
// is not a real answer, and an array for it could exhaust the machine.
inline constexpr std::uint32_t kMostUnits = 1u << 20;

// Told just before each library call, so that a program can show it is busy during the first
// and not during the second.
struct DiscoveryHooks {
    std::function<void()> beforeFirstCall;
    std::function<void()> beforeSecondCall;
};

struct Discovery {
    // The units in the order they answered; on a failure, none.
    std::vector<DeviceRecord> units;
    std::optional<CallFailure> failure;
};

// Asks the library with room for firstCapacity records, which the caller chooses: the more room,
// the likelier one broadcast finds every unit. When more units answer, asks again, a second
// broadcast and a second full time-out, with room for every unit counted. The units listed are
// those of the last call, never more than its array holds even when that call counted more
// (a unit that answered only the second broadcast).
Discovery DiscoverAllUnits(const LibraryExports& library, std::uint32_t firstCapacity,
                           std::uint32_t timeoutMs = kDiscoveryTimeoutMs, const DiscoveryHooks& hooks = {});

// The unit with the serial among those discovered, or null.
const DeviceRecord* FindUnit(const std::vector<DeviceRecord>& units, std::uint32_t serial);

}  // namespace quorrel
