#include "unit_formats.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "address_conflicts.h"
#include "csv.h"
#include "ipv4_text.h"
#include "unit_text.h"

namespace quorrel::cli {
std::string PrintableText(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            shown += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    return shown;
}

std::string DhcpText(std::uint8_t mode) {
    if (mode == 0) return "Off";
    if (mode == 1) return "On";
    return std::to_string(mode);
}

std::string UnitsTable(const std::vector<DeviceRecord>& units) {
    using Row = std::array<std::string, 6>;
    const auto conflicts = AddressConflicts(units);
    std::vector<Row> rows{{"SERIAL", "DHCP", "ADDRESS", "MASK", "GATEWAY", "CHIP"}};
    for (const DeviceRecord& unit : units) {
        const std::string mark = conflicts.count(unit.serial) != 0 ? kConflictMark : "";
        rows.push_back({FormatSerial(unit.serial), DhcpText(unit.dhcpMode), FormatAddress(unit.address) + mark,
                        FormatAddress(unit.netMask), FormatAddress(unit.gateway), PrintableText(ChipName(unit))});
    }
    if (units.empty()) return "";
    std::array<std::size_t, 6> widths{};
    for (const Row& row : rows) {
        for (std::size_t column = 0; column < widths.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    std::string table;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size()) line += std::string(widths[column] - row[column].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        table += line + '\n';
    }
    return table;
}

nlohmann::ordered_json UnitJson(const DeviceRecord& unit) {
    return {{"serial", FormatSerial(unit.serial)},
            {"dhcp", unit.dhcpMode},
            {"address", FormatAddress(unit.address)},
            {"mask", FormatAddress(unit.netMask)},
            {"gateway", FormatAddress(unit.gateway)},
            {"chip", ChipName(unit)}};
}

std::string UnitsJson(const std::vector<DeviceRecord>& units) {
    const auto conflicts = AddressConflicts(units);
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const DeviceRecord& unit : units) {
        nlohmann::ordered_json others = nlohmann::ordered_json::array();
        if (const auto found = conflicts.find(unit.serial); found != conflicts.end()) {
            for (const std::uint32_t other : found->second) others.push_back(FormatSerial(other));
        }
        nlohmann::ordered_json object = UnitJson(unit);
        object["conflicts"] = others;
        array.push_back(std::move(object));
    }
    return array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

std::vector<std::string> ConflictNotes(const std::vector<DeviceRecord>& units) {
    const auto conflicts = AddressConflicts(units);
    std::vector<std::string> notes;
    std::vector<std::uint32_t> noted;
    for (const DeviceRecord& unit : units) {
        const auto found = conflicts.find(unit.serial);
        if (found == conflicts.end() || std::find(noted.begin(), noted.end(), unit.serial) != noted.end()) continue;
        std::vector<std::uint32_t> serials = {unit.serial};
        serials.insert(serials.end(), found->second.begin(), found->second.end());
        std::string names;
        for (std::size_t at = 0; at < serials.size(); ++at) {
            names += (at == 0 ? "" : at + 1 == serials.size() ? " and " : ", ") + FormatSerial(serials[at]);
        }
        noted.insert(noted.end(), serials.begin(), serials.end());
        notes.push_back("units " + names + " report the same address " + FormatAddress(unit.address));
    }
    return notes;
}

std::string UnitsCsv(const std::vector<DeviceRecord>& units) {
    std::string csv = std::string(kCsvHeader) + kCsvLineBreak;
    for (const DeviceRecord& unit : units) {
        csv += FormatSerial(unit.serial) + ',' + std::to_string(unit.dhcpMode) + ',' + FormatAddress(unit.address) +
               ',' + FormatAddress(unit.netMask) + ',' + FormatAddress(unit.gateway) + ',' +
               CsvField(ChipName(unit)) + kCsvLineBreak;
    }
    return csv;
}

std::string FormatUnits(const std::vector<DeviceRecord>& units, OutputFormat format) {
    switch (format) {
        case OutputFormat::Json: return UnitsJson(units);
        case OutputFormat::Csv: return UnitsCsv(units);
        case OutputFormat::Table: break;
    }
    return UnitsTable(units);
}

}  // namespace quorrel::cli
