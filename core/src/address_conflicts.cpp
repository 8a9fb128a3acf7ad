#include "address_conflicts.h"

#include <unordered_map>

namespace quorrel {

std::map<std::uint32_t, std::vector<std::uint32_t>> AddressConflicts(const std::vector<DeviceRecord>& units) {
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> serialsByAddress;
    for (const DeviceRecord& unit : units) {
        if (unit.address == 0) continue;
        std::vector<std::uint32_t>& serials = serialsByAddress[unit.address];
        bool listed = false;
        for (std::uint32_t serial : serials) listed = listed || serial == unit.serial;
        if (!listed) serials.push_back(unit.serial);
    }
    std::map<std::uint32_t, std::vector<std::uint32_t>> conflicts;
    for (const auto& [address, serials] : serialsByAddress) {
        if (serials.size() < 2) continue;
        for (std::uint32_t serial : serials) {
            std::vector<std::uint32_t>& others = conflicts[serial];
            for (std::uint32_t other : serials) {
                if (other != serial) others.push_back(other);
            }
        }
    }
    return conflicts;
}

std::optional<std::uint32_t> UnitHoldingAddress(const std::vector<DeviceRecord>& units, std::uint32_t address,
                                                std::uint32_t serial) {
    if (address == 0) return std::nullopt;
    for (const DeviceRecord& unit : units) {
        if (unit.address == address && unit.serial != serial) return unit.serial;
    }
    return std::nullopt;
}

}  // namespace quorrel
