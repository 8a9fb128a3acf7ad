// The unicast targets quorrel hands the library in VARL_TARGETS, for units that no broadcast
// reaches (a site behind a router): what --target takes, and where set and apply send a unit's
// configuration and the discoveries that confirm it while targets are in use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorrel::cli {

// What is wrong with one --target value, or nothing when the library takes it: an address (a
// unit's, or a directed broadcast address) or a range ADDRESS/PREFIX of /16 to /32. The library
// sends to a range address by address, so a /16 already takes it 16 s.
std::optional<std::string> TargetProblem(std::string_view text);

// Where a unit's set-configuration message goes besides the broadcasts, given the targets in use
// (a VARL_TARGETS list): the address the unit reported, then the list's single addresses, each
// once. The list's ranges are left out: the unit answered from its address, and a range would
// cost every message a range's worth of datagrams. Nothing when no targets are in use, so that
// without them the wire carries what it always did.
std::optional<std::string> ConfigurationTargets(std::string_view targets, std::uint32_t unitAddress);

// Where the discoveries confirming configurations go, given the targets in use: the whole list,
// then each of addresses (the units' reported and new addresses) that the list does not name as a
// single address. 0.0.0.0 is no address. Nothing when no targets are in use.
std::optional<std::string> ConfirmationTargets(std::string_view targets, const std::vector<std::uint32_t>& addresses);

}  // namespace quorrel::cli
