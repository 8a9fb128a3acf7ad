#include "confirmation.h"

#include <algorithm>

#include "discovery.h"

namespace quorrel {

Confirmation ConfirmConfigurations(const LibraryExports& library, const std::vector<SentConfiguration>& sent,
                                   std::uint32_t firstCapacity, std::uint32_t timeoutMs) {
    // 64-bit, so that three of the longest time-outs cannot overflow.
    const std::uint64_t totalMs = std::uint64_t{kConfirmationTimeOuts} * timeoutMs;
    const std::uint32_t roundMs = std::max<std::uint32_t>(1, (timeoutMs + kConfirmationRoundsPerTimeOut - 1) /
                                                                 kConfirmationRoundsPerTimeOut);
    std::set<std::uint32_t> waitingFor;
    for (const SentConfiguration& configuration : sent) waitingFor.insert(configuration.serial);

    Confirmation confirmation;
    for (std::uint64_t spentMs = 0; spentMs < totalMs && !waitingFor.empty();) {
        const auto thisRoundMs = static_cast<std::uint32_t>(std::min<std::uint64_t>(roundMs, totalMs - spentMs));
        spentMs += thisRoundMs;
        const Discovery discovery = DiscoverAllUnits(library, firstCapacity, thisRoundMs);
        if (discovery.failure) {
            confirmation.failure = discovery.failure;
            break;
        }
        for (const SentConfiguration& configuration : sent) {
            const DeviceRecord* unit = FindUnit(discovery.units, configuration.serial);
            if (unit == nullptr) continue;
            confirmation.lastReports[configuration.serial] = *unit;
            if (UnitReports(*unit, configuration.wanted)) {
                confirmation.confirmed.insert(configuration.serial);
                waitingFor.erase(configuration.serial);
            }
        }
    }
    return confirmation;
}

}  // namespace quorrel
