// The three forms discover lists units in: an aligned table for people, JSON and CSV for scripts.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "varl.h"

namespace quorrel::cli {

enum class OutputFormat { Table, Json, Csv };

// The CSV header; apply reads files that start with it.
inline constexpr const char* kCsvHeader = "serial,dhcp,address,mask,gateway,chip";

// "On" for 1, "Off" for 0, the digit itself for any other value a reply carried.
std::string DhcpText(std::uint8_t mode);

// The text with every byte that is not printable ASCII, and the backslash, written as \xHH: what
// a unit or a user sent can then not move the terminal's cursor or change its colours.
std::string PrintableText(std::string_view text);

// Follows the address of each unit that reports the same address as another in the table.
inline constexpr const char* kConflictMark = "*";

// Columns SERIAL DHCP ADDRESS MASK GATEWAY CHIP under a header, two blanks apart, the chip name
// made printable (a unit chooses it), the address of a unit in conflict marked. Nothing at all
// for no units.
std::string UnitsTable(const std::vector<DeviceRecord>& units);

// {"serial", "dhcp", "address", "mask", "gateway", "chip"}: dhcp a number, the others texts.
nlohmann::ordered_json UnitJson(const DeviceRecord& unit);

// An array of {"serial", "dhcp", "address", "mask", "gateway", "chip", "conflicts"} objects,
// indented by two; "conflicts" lists the serials of the other units that report the unit's
// address, and is empty for most. The chip name's bytes that are not UTF-8 become U+FFFD.
std::string UnitsJson(const std::vector<DeviceRecord>& units);

// One line for each address that several of the units report, naming them in their order:
// "units 1A2B3 and 1B3C4 report the same address 10.77.0.11".
std::vector<std::string> ConflictNotes(const std::vector<DeviceRecord>& units);

// The header and one record per unit.
std::string UnitsCsv(const std::vector<DeviceRecord>& units);

std::string FormatUnits(const std::vector<DeviceRecord>& units, OutputFormat format);

}  // namespace quorrel::cli
