#include "udp_exchanges.h"

#include "last_error.h"

namespace varl {

// Placeholder until the exchanges land.
bool DiscoverUnits(uint32_t*, DeviceRecord*, uint32_t) {
    SetLastErrorText("Not implemented.");
    return false;
}
bool GetFirstConfig(DeviceRecord*, uint32_t) {
    SetLastErrorText("Not implemented.");
    return false;
}
bool SendSetConfig(const DeviceRecord*) {
    SetLastErrorText("Not implemented.");
    return false;
}

}  // namespace varl
