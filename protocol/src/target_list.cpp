#include "target_list.h"

#include <algorithm>
#include <optional>

namespace varl {
namespace {

constexpr std::string_view kSeparators = ", \t\n";

// A decimal number of one to maxDigits digits, the whole text.
std::optional<uint32_t> Decimal(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

std::optional<uint32_t> Address(std::string_view text) {
    uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos) return std::nullopt;
        const std::optional<uint32_t> octet = Decimal(text.substr(0, dot), 3);
        if (!octet || *octet > 255) return std::nullopt;
        address = address << 8 | *octet;
        text.remove_prefix(std::min(dot + 1, text.size()));
    }
    return address;
}

// One entry, or the reason it is none.
TargetList::Error ReadEntry(std::string_view entry, TargetRange& range) {
    const std::size_t slash = entry.find('/');
    const std::optional<uint32_t> address = Address(entry.substr(0, slash));
    if (!address) return TargetList::Error::kMalformed;
    if (slash == std::string_view::npos) {
        range = {*address, *address};
        return TargetList::Error::kNone;
    }
    const std::optional<uint32_t> prefix = Decimal(entry.substr(slash + 1), 2);
    if (!prefix || *prefix > 32) return TargetList::Error::kMalformed;
    if (*prefix < kWidestTargetPrefix) return TargetList::Error::kTooWide;
    const uint32_t hostBits = *prefix == 32 ? 0 : ~uint32_t{0} >> *prefix;
    const uint32_t network = *address & ~hostBits;
    range = {network, network | hostBits};
    // A network with hosts between its own address and its broadcast address reaches only those.
    if (*prefix <= 30) range = {range.first + 1, range.last - 1};
    return TargetList::Error::kNone;
}

}  // namespace

TargetList ParseTargetList(std::string_view text) {
    TargetList list;
    for (std::size_t start = text.find_first_not_of(kSeparators); start != std::string_view::npos;
         start = text.find_first_not_of(kSeparators, start)) {
        const std::size_t end = std::min(text.find_first_of(kSeparators, start), text.size());
        const std::string_view entry = text.substr(start, end - start);
        TargetRange range;
        list.error = ReadEntry(entry, range);
        if (!list.ok()) {
            list.ranges.clear();
            list.badEntry = entry;
            return list;
        }
        list.ranges.push_back(range);
        start = end;
    }
    return list;
}

bool TargetCursor::Next(uint32_t& address) {
    if (AtEnd()) return false;
    const TargetRange& range = (*ranges_)[range_];
    address = range.first + offset_;
    if (address == range.last) {
        ++range_;
        offset_ = 0;
    } else {
        ++offset_;
    }
    return true;
}

}  // namespace varl
