// The units one simulator process plays, and the extra datagrams it sends for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct SimulatedUnit {
    uint32_t serial = 0;
    int dhcp = 0;
    uint32_t address = 0;
    uint32_t netMask = 0;
    uint32_t gateway = 0;
    std::string chipName;
    // When the unit answers a discovery: after delayMs plus a random 0..jitterMs.
    int delayMs = 0;
    int jitterMs = 0;
    bool answersTwice = false;
    // Hears set-configuration messages but keeps its addressing: a unit that does not take them.
    bool ignoresSetConfig = false;
    // The units' side interface the unit is cabled to: it hears only what comes in there. Empty:
    // every interface (a lab with one link).
    std::string link;
};

// A datagram sent in answer to every discovery besides the units' replies.
struct ExtraDatagram {
    std::string bytes;
    int delayMs = 0;
};

struct UnitTable {
    std::vector<SimulatedUnit> units;
    std::vector<ExtraDatagram> extras;
};

// Parses the table file format: one entry per line, '#' starts a comment.
//   unit SERIAL DHCP ADDRESS MASK GATEWAY CHIP [delay=MS] [jitter=MS] [twice] [ignore-set]
//        [link=INTERFACE]
//   raw [delay=MS] TEXT
//   oversize SIZE [delay=MS]
//   empty [delay=MS]
// Entries due at the same moment leave units first, in table order, then the extra datagrams.
// On failure returns nothing and sets error to a one-line reason naming the line.
std::optional<UnitTable> ParseUnitTable(std::string_view text, std::string& error);

// The unit's answer to "0 1": "SERIAL DHCP ADDRESS MASK GATEWAY CHIP".
std::string FormatReply(const SimulatedUnit& unit);

// Whether a unit hears a datagram that came in on the units' side interface link.
bool Hears(const SimulatedUnit& unit, std::string_view link);

// Applies a set-configuration message to the unit it names among those for which reached holds.
// Returns the unit changed, or null when the message is not one, names no unit reached, or names a
// unit that ignores it.
SimulatedUnit* ApplySetConfigTo(UnitTable& table, std::string_view message,
                                const std::function<bool(const SimulatedUnit&)>& reached);

// ApplySetConfigTo the units that hear a message which came in on link.
SimulatedUnit* ApplySetConfig(UnitTable& table, std::string_view message, std::string_view link = {});

std::string DottedQuad(uint32_t value);
std::optional<uint32_t> ParseAddress(std::string_view text);

}  // namespace sim
