#include "unit_results.h"

#include <nlohmann/json.hpp>

#include "ipv4_text.h"
#include "unit_text.h"

namespace quorrel::cli {
namespace {

const char* ResultName(UnitResultKind kind) {
    switch (kind) {
        case UnitResultKind::Unchanged: return "unchanged";
        case UnitResultKind::WouldSet: return "would-set";
        case UnitResultKind::Sent: return "sent";
        case UnitResultKind::Confirmed: return "confirmed";
        case UnitResultKind::NotConfirmed: return "not-confirmed";
        case UnitResultKind::NotSent: return "not-sent";
        case UnitResultKind::Skipped: return "skipped";
    }
    return "";
}

nlohmann::ordered_json ReportedJson(const std::optional<DeviceRecord>& unit) {
    if (!unit) return nullptr;
    return {{"dhcp", unit->dhcpMode},
            {"address", FormatAddress(unit->address)},
            {"mask", FormatAddress(unit->netMask)},
            {"gateway", FormatAddress(unit->gateway)}};
}

nlohmann::ordered_json WantedJson(const Addressing& wanted) {
    if (wanted.dhcp == DhcpChoice::On) return {{"dhcp", 1}, {"address", nullptr}, {"mask", nullptr}, {"gateway", nullptr}};
    return {{"dhcp", 0},
            {"address", FormatAddress(wanted.address)},
            {"mask", FormatAddress(wanted.netMask)},
            {"gateway", FormatAddress(wanted.gateway)}};
}

}  // namespace

std::string UnitResultsJson(const std::vector<UnitResult>& results) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const UnitResult& result : results) {
        array.push_back({{"serial", FormatSerial(result.serial)},
                         {"result", ResultName(result.kind)},
                         {"before", ReportedJson(result.before)},
                         {"wanted", WantedJson(result.wanted)},
                         {"after", ReportedJson(result.after)}});
    }
    return array.dump(2) + '\n';
}

}  // namespace quorrel::cli
