// Storing one file on many units at once. A unit's small processor takes a file far slower than the
// network carries it, so several threads each take the next unit and call the library, and the
// units are served together. Every report reaches the caller on the caller's own thread, which
// alone writes the output.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "call_failure.h"

namespace quorrel::cli {

struct UploadSettings {
    // Threads calling the library at once; 1 serves the units one after another, in order.
    std::size_t jobs = 4;
    // Further tries for an upload that failed for a network reason.
    unsigned retries = 0;
    // How often tick runs while uploads are under way, besides at the start and after each
    // report; zero: never.
    std::chrono::milliseconds tickEvery{0};
};

// How a unit's upload ended.
struct UnitUpload {
    // Absent when the file was stored.
    std::optional<CallFailure> failure;
    // 0: never tried, since a failure that every unit would meet stopped the run first.
    unsigned tries = 0;
    // From the start of its first try to the end of its last.
    std::chrono::steady_clock::duration elapsed{};
};

struct UploadReports {
    // A unit's upload ended for good.
    std::function<void(std::size_t unit, const UnitUpload& upload)> finished;
    // A try failed for a network reason and the unit is queued again for try number nextTry.
    std::function<void(std::size_t unit, const CallFailure& failure, unsigned nextTry)> retrying;
    std::function<void()> tick;
};

// Calls upload(unit) on up to settings.jobs threads for units 0 to count - 1, taken in order. A
// unit whose try failed for a network reason is queued again behind the units waiting then, until
// its tries are used up. A refused argument (a remote name the library cannot store) or a missing
// export would fail every unit alike: once one comes back, no unit not yet started is tried, and
// the calls under way end as they end. Returns when every thread has ended: each unit's end, in
// order of units.
std::vector<UnitUpload> UploadToUnits(std::size_t count, const UploadSettings& settings,
                                      const std::function<std::optional<CallFailure>(std::size_t unit)>& upload,
                                      const UploadReports& reports);

// A failure that every unit would meet, which ends the run.
bool FailsEveryUnit(const CallFailure& failure);

}  // namespace quorrel::cli
