// What changed on the network from one round of discovery to the next: units that appeared,
// changed or are gone. No clock and no output: the watch command hands in each round's answers.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "varl.h"

namespace quorrel::cli {

// A reply can be lost on the way, so a unit counts as gone only once it missed this many rounds in
// a row.
inline constexpr int kRoundsMissedWhenGone = 3;

// A round asks up to this many times while a unit seen before is missing from its answers: a unit
// misses a round only when it answered none of them.
inline constexpr int kAsksPerRound = 3;

enum class UnitField { Dhcp, Address, Mask, Gateway, Chip };

enum class WatchEventKind { Appeared, Changed, Gone };

struct WatchEvent {
    WatchEventKind kind = WatchEventKind::Appeared;
    // As the unit answered now; for a gone unit, as it answered last.
    DeviceRecord unit{};
    // Changed: what it answered before, and which fields differ, in the order of UnitField.
    DeviceRecord before{};
    std::vector<UnitField> changed;
};

class WatchedUnits {
public:
    // The events of a round whose asks got these answers, in order of serial. The first round
    // reports every unit as appeared. A serial that answered twice counts with its last answer.
    std::vector<WatchEvent> Round(const std::vector<DeviceRecord>& answers);

    // Whether a unit known to be there is missing from these answers, so that the round asks again.
    bool AnyMissing(const std::vector<DeviceRecord>& answers) const;

private:
    struct Known {
        DeviceRecord record{};
        int roundsMissed = 0;
    };
    std::map<std::uint32_t, Known> m_known;
};

}  // namespace quorrel::cli
