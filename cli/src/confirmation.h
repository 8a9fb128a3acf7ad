// Confirming that units took the addressing they were sent. No unit answers a set-configuration
// message, so the only proof is a discovery that shows the new values.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "addressing.h"
#include "call_failure.h"
#include "library_exports.h"
#include "varl.h"

namespace quorrel::cli {

// A unit that may take a while to change its addressing gets this many discoveries, each with the
// full time-out.
inline constexpr int kConfirmationDiscoveries = 3;

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

// Discovers every unit, for all sent configurations at once, until each unit reports what it was
// sent or the discoveries run out.
Confirmation ConfirmConfigurations(const LibraryExports& library, const std::vector<SentConfiguration>& sent,
                                   std::uint32_t timeoutMs, int discoveries = kConfirmationDiscoveries);

// "not confirmed: asked for WANTED, the unit reports NOW" for a serial the confirmation did not
// confirm, or "..., the unit no longer answers".
std::string NotConfirmedText(std::uint32_t serial, const Addressing& wanted, const Confirmation& confirmation);

// The unit with the serial among those discovered, or null.
const DeviceRecord* FindUnit(const std::vector<DeviceRecord>& units, std::uint32_t serial);

}  // namespace quorrel::cli
