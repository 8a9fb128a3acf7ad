// What set and apply did with each unit's addressing, in the form scripts read: one JSON object
// per unit with what it reported before, what it was asked to take and what it reported after.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "addressing.h"
#include "varl.h"

namespace quorrel::cli {

// Named in JSON "unchanged", "would-set", "sent", "confirmed", "not-confirmed", "not-sent" and
// "skipped".
enum class UnitResultKind {
    Unchanged,     // the unit already reported the addressing; nothing sent
    WouldSet,      // a dry run: the addressing would be sent
    Sent,          // sent without confirming (set --no-verify)
    Confirmed,     // sent, and a discovery showed the unit reporting it
    NotConfirmed,  // sent, and the unit reported something else or no longer answered
    NotSent,       // the library failed before this unit's message went out
    Skipped,       // the unit did not answer (apply --skip-missing)
};

struct UnitResult {
    std::uint32_t serial = 0;
    UnitResultKind kind = UnitResultKind::Unchanged;
    // What the first discovery found; nothing when the unit did not answer it.
    std::optional<DeviceRecord> before;
    Addressing wanted;
    // What the unit reported after it was sent the addressing: the last discovery it answered
    // (the record before for an unchanged unit); nothing when none was asked or it never answered.
    std::optional<DeviceRecord> after;
};

// An array, indented by two, of one object per unit: {"serial": "1B3C4", "result": "confirmed",
// "before": ADDRESSING, "wanted": ADDRESSING, "after": ADDRESSING}, each ADDRESSING {"dhcp": 0,
// "address": "10.77.0.11", "mask": "255.255.0.0", "gateway": "10.77.0.1"} or null where the unit
// reported nothing. dhcp is the number the unit reported; a wanted DHCP has a null address, mask
// and gateway, which the DHCP server gives.
std::string UnitResultsJson(const std::vector<UnitResult>& results);

}  // namespace quorrel::cli
