// A list of other subnets to search, checked before a program hands it to the library as
// VARL_TARGETS. The check is the library's own reading of the list, so that a list taken here is
// one the library takes, and a refused one is refused in the library's words.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorrel {

struct TargetListRefusal {
    // The library's text: "Argument error. VARL_TARGETS holds ...".
    std::string text;
    // The first entry the library could not take, as written in the list.
    std::string entry;

    bool operator==(const TargetListRefusal&) const = default;
};

// Addresses, ranges up to /16 and directed broadcast addresses, separated by commas or blanks; an
// empty list is taken. Nothing when the library would take the list.
std::optional<TargetListRefusal> CheckTargetList(std::string_view list);

}  // namespace quorrel
