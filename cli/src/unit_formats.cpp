#include "unit_formats.h"

#include <algorithm>
#include <array>
#include <cstdio>

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
    std::vector<Row> rows{{"SERIAL", "DHCP", "ADDRESS", "MASK", "GATEWAY", "CHIP"}};
    for (const DeviceRecord& unit : units) {
        rows.push_back({FormatSerial(unit.serial), DhcpText(unit.dhcpMode), FormatAddress(unit.address),
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
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const DeviceRecord& unit : units) array.push_back(UnitJson(unit));
    return array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
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
