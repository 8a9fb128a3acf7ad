#include "discover_command.h"

#include <algorithm>

#include "discovery.h"
#include "exit_status.h"

namespace quorrel::cli {

int RunDiscover(const LibraryExports& library, const CommonOptions& common, const DiscoverOptions& options,
                const Console& console) {
    Discovery discovery = DiscoverAllUnits(library, common.timeoutMs);
    if (discovery.failure) {
        console.Failure(*discovery.failure);
        return kExitFailed;
    }
    std::sort(discovery.units.begin(), discovery.units.end(),
              [](const DeviceRecord& a, const DeviceRecord& b) { return a.serial < b.serial; });
    console.out << FormatUnits(discovery.units, options.format);
    if (discovery.units.empty()) console.err << "No units answered.\n";
    return kExitDone;
}

}  // namespace quorrel::cli
