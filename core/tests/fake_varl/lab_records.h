// The lab's units as the library hands them over, so that a fake library answers what the lab's
// units would: the records of sim::LabUnits. Programs using it link sim_core.
#pragma once

#include <vector>

#include "device_record_testing.h"
#include "lab_units.h"

namespace quorrel::testing {

inline std::vector<DeviceRecord> LabRecords(int count) {
    std::vector<DeviceRecord> records;
    for (const sim::SimulatedUnit& unit : sim::LabUnits(count)) {
        records.push_back(varl::testing::MakeRecord(unit.serial, static_cast<std::uint8_t>(unit.dhcp), unit.address,
                                                    unit.netMask, unit.gateway, unit.chipName));
    }
    return records;
}

}  // namespace quorrel::testing
