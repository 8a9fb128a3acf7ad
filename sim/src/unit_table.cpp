#include "unit_table.h"

#include <charconv>
#include <sstream>

namespace sim {
namespace {

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, int base = 10) {
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

// Reads "delay=MS", "jitter=MS" or "twice" into the entry; false for anything else.
bool ParseOption(std::string_view word, int& delayMs, int* jitterMs, bool* twice) {
    auto option = [&](std::string_view name, int& into) {
        if (word.substr(0, name.size()) != name) return false;
        auto value = ParseNumber<int>(word.substr(name.size()));
        if (!value || *value < 0) return false;
        into = *value;
        return true;
    };
    if (option("delay=", delayMs)) return true;
    if (jitterMs != nullptr && option("jitter=", *jitterMs)) return true;
    if (twice != nullptr && word == "twice") {
        *twice = true;
        return true;
    }
    return false;
}

}  // namespace

std::optional<uint32_t> ParseAddress(std::string_view text) {
    uint32_t value = 0;
    int octets = 0;
    size_t at = 0;
    while (octets < 4) {
        size_t dot = text.find('.', at);
        std::string_view part = text.substr(at, dot == std::string_view::npos ? std::string_view::npos : dot - at);
        auto octet = ParseNumber<unsigned>(part);
        if (!octet || *octet > 255) return std::nullopt;
        value = value << 8 | *octet;
        ++octets;
        if (dot == std::string_view::npos) break;
        at = dot + 1;
    }
    if (octets != 4 || text.find('.', at) != std::string_view::npos) return std::nullopt;
    return value;
}

std::string DottedQuad(uint32_t value) {
    return std::to_string(value >> 24) + '.' + std::to_string(value >> 16 & 255) + '.' +
           std::to_string(value >> 8 & 255) + '.' + std::to_string(value & 255);
}

namespace {

// "unit SERIAL DHCP ADDRESS MASK GATEWAY CHIP [OPTION]...", already split into words.
std::optional<SimulatedUnit> ParseUnitEntry(const std::vector<std::string_view>& words, std::string& error) {
    if (words.size() < 7) {
        error = "a unit needs SERIAL DHCP ADDRESS MASK GATEWAY CHIP";
        return std::nullopt;
    }
    auto serial = ParseNumber<uint32_t>(words[1], 16);
    auto dhcp = ParseNumber<int>(words[2]);
    auto address = ParseAddress(words[3]);
    auto mask = ParseAddress(words[4]);
    auto gateway = ParseAddress(words[5]);
    if (!serial || *serial > 0xFFFFF) {
        error = "serial must be at most five hex digits";
    } else if (!dhcp || *dhcp < 0 || *dhcp > 9) {
        error = "DHCP must be one digit";
    } else if (!address || !mask || !gateway) {
        error = "addresses must be dotted quads";
    }
    if (!error.empty()) return std::nullopt;

    SimulatedUnit unit;
    unit.serial = *serial;
    unit.dhcp = *dhcp;
    unit.address = *address;
    unit.netMask = *mask;
    unit.gateway = *gateway;
    unit.chipName = std::string(words[6]);
    for (size_t i = 7; i < words.size(); ++i) {
        if (words[i] == "ignore-set") {
            unit.ignoresSetConfig = true;
        } else if (words[i].substr(0, 5) == "link=" && words[i].size() > 5) {
            unit.link = std::string(words[i].substr(5));
        } else if (!ParseOption(words[i], unit.delayMs, &unit.jitterMs, &unit.answersTwice)) {
            error = "unknown unit option '" + std::string(words[i]) + "'";
            return std::nullopt;
        }
    }
    return unit;
}

// "raw [delay=MS] TEXT": the text is everything after the single blank that follows "raw" (or its
// option), so blanks inside and at the end of it are kept.
std::optional<ExtraDatagram> ParseRawEntry(std::string_view line, std::string& error) {
    ExtraDatagram extra;
    std::string_view rest = line.substr(line.find("raw") + 3);
    if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.substr(0, 6) == "delay=") {
        size_t blank = rest.find(' ');
        if (!ParseOption(rest.substr(0, blank), extra.delayMs, nullptr, nullptr)) {
            error = "bad delay";
            return std::nullopt;
        }
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    }
    extra.bytes = std::string(rest);
    return extra;
}

// "oversize SIZE [delay=MS]" or "empty [delay=MS]", already split into words.
std::optional<ExtraDatagram> ParseSizedEntry(const std::vector<std::string_view>& words, std::string& error) {
    ExtraDatagram extra;
    size_t first = 1;
    if (words[0] == "oversize") {
        auto size = words.size() > 1 ? ParseNumber<size_t>(words[1]) : std::nullopt;
        if (!size || *size > 65000) {
            error = "oversize needs a SIZE of at most 65000";
            return std::nullopt;
        }
        extra.bytes.assign(*size, 'X');
        first = 2;
    }
    for (size_t i = first; i < words.size(); ++i) {
        if (!ParseOption(words[i], extra.delayMs, nullptr, nullptr)) {
            error = "unknown option '" + std::string(words[i]) + "'";
            return std::nullopt;
        }
    }
    return extra;
}

// Adds the entry of one line to the table; false with error set when the line is wrong.
bool ParseEntry(std::string_view line, UnitTable& table, std::string& error) {
    const std::vector<std::string_view> words = SplitBlanks(line);
    if (words.empty() || words[0].front() == '#') return true;
    const std::string_view kind = words[0];
    if (kind == "unit") {
        const std::optional<SimulatedUnit> unit = ParseUnitEntry(words, error);
        if (unit) table.units.push_back(*unit);
        return unit.has_value();
    }
    std::optional<ExtraDatagram> extra;
    if (kind == "raw") {
        extra = ParseRawEntry(line, error);
    } else if (kind == "oversize" || kind == "empty") {
        extra = ParseSizedEntry(words, error);
    } else {
        error = "unknown entry '" + std::string(kind) + "'";
    }
    if (extra) table.extras.push_back(*extra);
    return extra.has_value();
}

}  // namespace

std::optional<UnitTable> ParseUnitTable(std::string_view text, std::string& error) {
    UnitTable table;
    for (int lineNumber = 1; !text.empty(); ++lineNumber) {
        const size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::string why;
        if (!ParseEntry(line, table, why)) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return std::nullopt;
        }
    }
    return table;
}

std::string FormatReply(const SimulatedUnit& unit) {
    std::ostringstream reply;
    reply << std::uppercase << std::hex << unit.serial << std::dec << ' ' << unit.dhcp << ' '
          << DottedQuad(unit.address) << ' ' << DottedQuad(unit.netMask) << ' ' << DottedQuad(unit.gateway)
          << ' ' << unit.chipName;
    return reply.str();
}

bool Hears(const SimulatedUnit& unit, std::string_view link) { return unit.link.empty() || unit.link == link; }

SimulatedUnit* ApplySetConfig(UnitTable& table, std::string_view message, std::string_view link) {
    return ApplySetConfigTo(table, message, [link](const SimulatedUnit& unit) { return Hears(unit, link); });
}

SimulatedUnit* ApplySetConfigTo(UnitTable& table, std::string_view message,
                                const std::function<bool(const SimulatedUnit&)>& reached) {
    // DHCP form: "SSSSS 5 D    "; static form: "SSSSS 5 0 A.A.A.A M.M.M.M G.G.G.G".
    std::vector<std::string_view> words = SplitBlanks(message);
    if (words.size() < 3 || words[1] != "5") return nullptr;
    auto serial = ParseNumber<uint32_t>(words[0], 16);
    auto dhcp = ParseNumber<unsigned>(words[2]);
    if (!serial || !dhcp) return nullptr;
    SimulatedUnit* unit = nullptr;
    for (SimulatedUnit& candidate : table.units) {
        if (candidate.serial == *serial && reached(candidate)) unit = &candidate;
    }
    if (unit == nullptr || unit->ignoresSetConfig) return nullptr;
    if (*dhcp != 0) {
        if (words.size() != 3) return nullptr;
        unit->dhcp = 1;
        return unit;
    }
    if (words.size() != 6) return nullptr;
    auto address = ParseAddress(words[3]);
    auto mask = ParseAddress(words[4]);
    auto gateway = ParseAddress(words[5]);
    if (!address || !mask || !gateway) return nullptr;
    unit->dhcp = 0;
    unit->address = *address;
    unit->netMask = *mask;
    unit->gateway = *gateway;
    return unit;
}

}  // namespace sim
