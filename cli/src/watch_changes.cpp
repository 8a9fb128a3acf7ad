#include "watch_changes.h"

#include <algorithm>
#include <cstring>

namespace quorrel::cli {
namespace {

std::vector<UnitField> ChangedFields(const DeviceRecord& before, const DeviceRecord& now) {
    std::vector<UnitField> fields;
    if (before.dhcpMode != now.dhcpMode) fields.push_back(UnitField::Dhcp);
    if (before.address != now.address) fields.push_back(UnitField::Address);
    if (before.netMask != now.netMask) fields.push_back(UnitField::Mask);
    if (before.gateway != now.gateway) fields.push_back(UnitField::Gateway);
    if (strncmp(before.chipName, now.chipName, sizeof now.chipName) != 0) fields.push_back(UnitField::Chip);
    return fields;
}

}  // namespace

std::vector<WatchEvent> WatchedUnits::Round(const std::vector<DeviceRecord>& answers) {
    std::map<std::uint32_t, DeviceRecord> answered;
    for (const DeviceRecord& unit : answers) answered[unit.serial] = unit;

    std::vector<WatchEvent> events;
    for (const auto& [serial, unit] : answered) {
        const auto known = m_known.find(serial);
        if (known == m_known.end()) {
            events.push_back({WatchEventKind::Appeared, unit, {}, {}});
            m_known[serial] = {unit, 0};
            continue;
        }
        std::vector<UnitField> changed = ChangedFields(known->second.record, unit);
        if (!changed.empty()) events.push_back({WatchEventKind::Changed, unit, known->second.record, std::move(changed)});
        known->second = {unit, 0};
    }
    for (auto known = m_known.begin(); known != m_known.end();) {
        if (answered.count(known->first) == 0 && ++known->second.roundsMissed >= kRoundsMissedWhenGone) {
            events.push_back({WatchEventKind::Gone, known->second.record, {}, {}});
            known = m_known.erase(known);
        } else {
            ++known;
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const WatchEvent& a, const WatchEvent& b) { return a.unit.serial < b.unit.serial; });
    return events;
}

bool WatchedUnits::AnyMissing(const std::vector<DeviceRecord>& answers) const {
    return std::any_of(m_known.begin(), m_known.end(), [&](const auto& known) {
        return std::none_of(answers.begin(), answers.end(),
                            [&](const DeviceRecord& unit) { return unit.serial == known.first; });
    });
}

}  // namespace quorrel::cli
