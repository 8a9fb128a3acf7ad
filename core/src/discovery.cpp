#include "discovery.h"

#include <algorithm>

namespace quorrel {
namespace {

void Call(const std::function<void()>& hook) {
    if (hook) hook();
}

Discovery Failed(CallFailure failure) { return {{}, std::move(failure)}; }

}  // namespace

Discovery DiscoverAllUnits(const LibraryExports& library, std::uint32_t firstCapacity, std::uint32_t timeoutMs,
                           const DiscoveryHooks& hooks) {
    DiscoverFunction discover = library.Discover();
    if (discover == nullptr) return Failed(DriverInterfaceError());

    std::vector<DeviceRecord> records(firstCapacity);
    std::uint32_t count = firstCapacity;
    Call(hooks.beforeFirstCall);
    if (discover(&count, records.data(), timeoutMs) == 0) return Failed(FailureFromLibrary(library));

    if (count > firstCapacity) {
        if (count > kMostUnits) return Failed(DriverInterfaceError());
        records.assign(count, DeviceRecord{});
        discover = library.Discover();
        if (discover == nullptr) return Failed(DriverInterfaceError());
        Call(hooks.beforeSecondCall);
        if (discover(&count, records.data(), timeoutMs) == 0) return Failed(FailureFromLibrary(library));
    }
    records.resize(std::min<std::size_t>(count, records.size()));
    return {std::move(records), std::nullopt};
}

const DeviceRecord* FindUnit(const std::vector<DeviceRecord>& units, std::uint32_t serial) {
    const auto found = std::find_if(units.begin(), units.end(),
                                    [serial](const DeviceRecord& unit) { return unit.serial == serial; });
    return found == units.end() ? nullptr : &*found;
}

}  // namespace quorrel
