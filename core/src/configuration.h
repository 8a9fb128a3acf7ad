// Sending a unit the addressing it is to take.
#pragma once

#include <functional>
#include <optional>

#include "call_failure.h"
#include "library_exports.h"
#include "varl.h"

namespace quorrel {

// Broadcasts the set-configuration message for the record, naming the unit by its serial. No unit
// answers it: success means only that it was sent. beforeCall runs once the export is found,
// just before the call.
std::optional<CallFailure> SendConfiguration(const LibraryExports& library, const DeviceRecord& record,
                                             const std::function<void()>& beforeCall = {});

}  // namespace quorrel
