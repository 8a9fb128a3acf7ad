#include "apply_rows.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>

#include "addressing_input.h"
#include "serial_text.h"
#include "unit_text.h"

namespace quorrel::cli {
namespace {

enum Column { kSerial, kDhcp, kAddress, kMask, kGateway, kChip, kColumns };
constexpr std::array<const char*, kColumns> kColumnNames = {"serial", "dhcp", "address", "mask", "gateway", "chip"};

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return lowered;
}

// Where each column is in the records, or the header's problem.
std::optional<std::array<int, kColumns>> ReadHeader(const CsvRecord& header, std::string& error) {
    std::array<int, kColumns> positions;
    positions.fill(-1);
    for (std::size_t at = 0; at < header.fields.size(); ++at) {
        const std::string name = Lowered(Trimmed(header.fields[at]));
        const auto known = std::find(kColumnNames.begin(), kColumnNames.end(), name);
        if (known == kColumnNames.end()) {
            error = "unknown column '" + std::string(Trimmed(header.fields[at])) +
                    "': expected the header serial,dhcp,address,mask,gateway[,chip]";
            return std::nullopt;
        }
        int& position = positions[static_cast<std::size_t>(known - kColumnNames.begin())];
        if (position >= 0) {
            error = "column '" + name + "' appears twice";
            return std::nullopt;
        }
        position = static_cast<int>(at);
    }
    for (int column = kSerial; column < kChip; ++column) {
        if (positions[column] < 0) {
            error = std::string("no column '") + kColumnNames[column] +
                    "': expected the header serial,dhcp,address,mask,gateway[,chip]";
            return std::nullopt;
        }
    }
    return positions;
}

std::optional<ApplyRow> ReadRow(const CsvRecord& record, const std::array<int, kColumns>& positions,
                                std::string& error) {
    auto field = [&](Column column) { return Trimmed(record.fields[static_cast<std::size_t>(positions[column])]); };
    ApplyRow row;
    row.line = record.line;
    const std::optional<std::uint32_t> serial = ParseSerial(field(kSerial));
    if (!serial) {
        error = BadSerialText(field(kSerial));
        return std::nullopt;
    }
    row.serial = *serial;

    const std::string_view dhcp = field(kDhcp);
    if (dhcp != "0" && dhcp != "1") {
        error = "bad dhcp '" + std::string(dhcp) + "': expected 0 (static) or 1 (DHCP)";
        return std::nullopt;
    }
    const bool dhcpOn = dhcp == "1";

    // With DHCP the addresses are not sent; any that are written must still read, so that a typo
    // does not pass unnoticed.
    std::array<std::uint32_t, 3> values{};
    for (const Column column : {kAddress, kMask, kGateway}) {
        if (dhcpOn && field(column).empty()) continue;
        const std::optional<std::uint32_t> value =
            column == kMask ? ReadMask(field(column), error) : ReadAddress(kColumnNames[column], field(column), error);
        if (!value) return std::nullopt;
        values[static_cast<std::size_t>(column - kAddress)] = *value;
    }
    row.wanted = dhcpOn ? Addressing::Dhcp() : Addressing::Static(values[0], values[1], values[2]);
    return row;
}

}  // namespace

ApplyRows ReadApplyRows(std::string_view text) {
    ApplyRows result;
    CsvReading csv = ReadCsv(text);
    if (csv.error) {
        result.error = csv.error;
        return result;
    }
    if (csv.records.empty()) {
        result.error = LineError{1, "no header: expected serial,dhcp,address,mask,gateway[,chip]"};
        return result;
    }

    std::string error;
    const std::optional<std::array<int, kColumns>> positions = ReadHeader(csv.records.front(), error);
    if (!positions) {
        result.error = LineError{csv.records.front().line, error};
        return result;
    }
    const std::size_t columns = csv.records.front().fields.size();
    std::map<std::uint32_t, int> lineOfSerial;
    for (std::size_t at = 1; at < csv.records.size(); ++at) {
        const CsvRecord& record = csv.records[at];
        auto fail = [&](std::string why) {
            result.rows.clear();
            result.warnings.clear();
            result.error = LineError{record.line, std::move(why)};
            return result;
        };
        if (record.fields.size() != columns) {
            return fail(std::to_string(record.fields.size()) + " fields where the header has " +
                        std::to_string(columns));
        }
        std::optional<ApplyRow> row = ReadRow(record, *positions, error);
        if (!row) return fail(error);
        const auto [earlier, isNew] = lineOfSerial.emplace(row->serial, record.line);
        if (!isNew)
            return fail("serial " + FormatSerial(row->serial) + " already on line " + std::to_string(earlier->second));
        if (const std::optional<std::string> warning = GatewayWarning(row->wanted))
            result.warnings.push_back({record.line, *warning});
        result.rows.push_back(*row);
    }
    return result;
}

}  // namespace quorrel::cli
