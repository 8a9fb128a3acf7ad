// What set and apply check before they give units new addresses: that no other discovered unit
// will report the same address once the changes are taken, and that no other host on a unit's
// link answers for it. Either refuses the change before anything is sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "address_probe.h"
#include "addressing.h"
#include "console.h"
#include "varl.h"

namespace quorrel::cli {

struct AddressChange {
    std::uint32_t serial = 0;
    // As discovered; 0.0.0.0 for a unit that did not answer.
    std::uint32_t reported = 0;
    Addressing wanted;
    // Starts each line said about the change: "1C4D5: " or "units.csv:3: 1C4D5: ".
    std::string where;
};

struct CheckSettings {
    // Null: no probe (a dry run sends nothing at all).
    const AddressProbe* probe = nullptr;
    // Say what the probe did, and that it could not run.
    bool verbose = false;
};

// Whether every change's address is free; says each that is not. A unit keeping its own address,
// or taking one another unit leaves in the same changes, is not probed: a discovered unit answers
// for it now.
bool NewAddressesAreFree(const std::vector<DeviceRecord>& units, const std::vector<AddressChange>& changes,
                         const CheckSettings& settings, const Console& console);

// The line that ends a refusal.
inline constexpr const char* kDuplicateRefused = "nothing sent (--allow-duplicate-address sends anyway)";

}  // namespace quorrel::cli
