// A host firewall written directly in nftables, read from the ruleset as nft lists it in JSON
// (which needs root). It counts as active when a chain on the input hook drops by default.
#pragma once

#include <nlohmann/json.hpp>

#include "doctor_firewall.h"

namespace quorrel::cli {

// ruleset: the output of "nft -j list ruleset". Nothing found when no input chain drops by default.
FirewallLook JudgeNftablesRuleset(const nlohmann::json& ruleset);

FirewallLook LookAtNftables();

}  // namespace quorrel::cli
