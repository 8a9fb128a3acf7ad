#include "watch_events.h"

#include <ctime>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <utility>

#include "addressing_text.h"
#include "ipv4_text.h"
#include "unit_formats.h"
#include "unit_text.h"

namespace quorrel::cli {
namespace {

const char* FieldName(UnitField field) {
    switch (field) {
        case UnitField::Dhcp: return "dhcp";
        case UnitField::Address: return "address";
        case UnitField::Mask: return "mask";
        case UnitField::Gateway: return "gateway";
        case UnitField::Chip: return "chip";
    }
    return "";
}

// The field's value for people: "On", "10.77.0.10", "QX-100".
std::string FieldText(const DeviceRecord& unit, UnitField field) {
    switch (field) {
        case UnitField::Dhcp: return DhcpText(unit.dhcpMode);
        case UnitField::Address: return FormatAddress(unit.address);
        case UnitField::Mask: return FormatAddress(unit.netMask);
        case UnitField::Gateway: return FormatAddress(unit.gateway);
        case UnitField::Chip: return PrintableText(ChipName(unit));
    }
    return "";
}

const char* EventName(WatchEventKind kind) {
    switch (kind) {
        case WatchEventKind::Appeared: return "appeared";
        case WatchEventKind::Changed: return "changed";
        case WatchEventKind::Gone: return "gone";
    }
    return "";
}

}  // namespace

std::string EventTime(std::chrono::system_clock::time_point at) {
    const auto milliseconds = std::chrono::floor<std::chrono::milliseconds>(at.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char date[32], offset[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(offset, sizeof offset, "%z", &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03d%.3s:%.2s", date, static_cast<int>(milliseconds % 1000), offset, offset + 3);
    return text;
}

std::string WatchEventText(const WatchEvent& event, const std::string& time) {
    std::string line = time + " " + FormatSerial(event.unit.serial) + " " + EventName(event.kind) + ": ";
    switch (event.kind) {
        case WatchEventKind::Appeared:
            return line + ReportedText(event.unit) + ", chip " + PrintableText(ChipName(event.unit));
        case WatchEventKind::Changed:
            for (std::size_t at = 0; at < event.changed.size(); ++at) {
                const UnitField field = event.changed[at];
                line += std::string(at == 0 ? "" : ", ") + (field == UnitField::Dhcp ? "DHCP" : FieldName(field)) + " " +
                        FieldText(event.before, field) + " to " + FieldText(event.unit, field);
            }
            return line;
        case WatchEventKind::Gone: break;
    }
    return line + "last seen at " + FormatAddress(event.unit.address);
}

std::string WatchEventJson(const WatchEvent& event, const std::string& time) {
    nlohmann::ordered_json object{{"time", time},
                                  {"event", EventName(event.kind)},
                                  {"serial", FormatSerial(event.unit.serial)},
                                  {"unit", UnitJson(event.unit)}};
    if (event.kind == WatchEventKind::Changed) {
        const nlohmann::ordered_json before = UnitJson(event.before);
        nlohmann::ordered_json changes = nlohmann::ordered_json::object();
        for (const UnitField field : event.changed) {
            changes[FieldName(field)] = {{"from", before[FieldName(field)]}, {"to", object["unit"][FieldName(field)]}};
        }
        object["changes"] = std::move(changes);
    }
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace quorrel::cli
