// The three UDP exchanges with the units: discovery, get-config and set-config.
#pragma once

#include <cstdint>

#include "varl.h"

namespace varl {

bool DiscoverUnits(uint32_t* count, DeviceRecord* records, uint32_t timeoutMs);
bool GetFirstConfig(DeviceRecord* record, uint32_t timeoutMs);
bool SendSetConfig(const DeviceRecord* record);

}  // namespace varl
