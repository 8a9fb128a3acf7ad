// VARL_TARGETS: the addresses that discovery and set-configuration also send to by unicast, for
// units that no broadcast reaches (a site behind a router, where the unit's gateway is set).
// Pure parsing: no state, no input or output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace varl {

// The addresses first to last, inclusive; first octet in the most significant byte.
struct TargetRange {
    uint32_t first = 0;
    uint32_t last = 0;

    bool operator==(const TargetRange&) const = default;
};

struct TargetList {
    enum class Error { kNone, kMalformed, kTooWide };

    std::vector<TargetRange> ranges;
    Error error = Error::kNone;
    // The entry that failed, pointing into the parsed text.
    std::string_view badEntry;

    bool ok() const noexcept { return error == Error::kNone; }
};

// The widest range taken: a /16, 65,536 addresses.
inline constexpr int kWidestTargetPrefix = 16;

// Reads entries separated by commas or blanks (an empty text gives no range): an address
// ("10.80.0.7"), which may be a directed broadcast address ("10.80.0.255"), or a CIDR range
// ("10.80.0.0/24"). An address is four decimal numbers of one to three digits, each at most 255,
// separated by dots. A range's prefix length is 16 to 32; it gives the host addresses of the
// network that holds the address: all but the network and broadcast addresses for /16 to /30,
// both addresses for /31, the one for /32. Anything else is malformed; a prefix below 16 is too
// wide. The first bad entry stops the reading.
TargetList ParseTargetList(std::string_view text);

// Steps through the addresses of a list's ranges, in order, one at a time.
class TargetCursor {
public:
    explicit TargetCursor(const std::vector<TargetRange>& ranges) : ranges_(&ranges) {}

    // The next address, or false when none is left.
    bool Next(uint32_t& address);
    bool AtEnd() const { return range_ >= ranges_->size(); }
    // Back to the first address.
    void Restart() { range_ = 0, offset_ = 0; }

private:
    const std::vector<TargetRange>* ranges_;
    std::size_t range_ = 0;
    uint32_t offset_ = 0;
};

}  // namespace varl
