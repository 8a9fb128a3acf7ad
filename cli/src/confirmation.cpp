#include "confirmation.h"

#include <algorithm>

#include "discovery.h"

namespace quorrel::cli {

const DeviceRecord* FindUnit(const std::vector<DeviceRecord>& units, std::uint32_t serial) {
    const auto found = std::find_if(units.begin(), units.end(),
                                    [serial](const DeviceRecord& unit) { return unit.serial == serial; });
    return found == units.end() ? nullptr : &*found;
}

std::string NotConfirmedText(std::uint32_t serial, const Addressing& wanted, const Confirmation& confirmation) {
    const auto reported = confirmation.lastReports.find(serial);
    return "not confirmed: asked for " + AddressingText(wanted) + ", the unit " +
           (reported == confirmation.lastReports.end() ? "no longer answers" : "reports " + ReportedText(reported->second));
}

Confirmation ConfirmConfigurations(const LibraryExports& library, const std::vector<SentConfiguration>& sent,
                                   std::uint32_t timeoutMs, int discoveries) {
    Confirmation confirmation;
    for (int round = 0; round < discoveries && confirmation.confirmed.size() < sent.size(); ++round) {
        const Discovery discovery = DiscoverAllUnits(library, timeoutMs);
        if (discovery.failure) {
            confirmation.failure = discovery.failure;
            break;
        }
        for (const SentConfiguration& configuration : sent) {
            const DeviceRecord* unit = FindUnit(discovery.units, configuration.serial);
            if (unit == nullptr) continue;
            confirmation.lastReports[configuration.serial] = *unit;
            if (UnitReports(*unit, configuration.wanted)) confirmation.confirmed.insert(configuration.serial);
        }
    }
    return confirmation;
}

}  // namespace quorrel::cli
