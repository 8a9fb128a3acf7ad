// How doctor judges each firewall's rules for the units' answers, UDP from source port 8001, and
// the allowance it gives: from the settings and files as the firewalls give them, no firewall run.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "doctor_firewall.h"
#include "doctor_firewalld.h"
#include "doctor_nftables.h"
#include "doctor_ufw.h"

namespace quorrel::cli {
namespace {

// What a look gave: nothing found (""), the fix when the firewall keeps the answers out, "lets in",
// or "not checked".
std::string Verdict(const FirewallLook& look) {
    if (!look.notChecked.empty()) return "not checked";
    if (!look.finding) return "";
    if (look.finding->letsRepliesIn) return "lets in";
    std::string fix;
    for (const std::string& command : look.finding->fix) fix += (fix.empty() ? "" : "; ") + command;
    return fix;
}

TEST(DoctorFirewall, PortListsAsFirewallsWriteThem) {
    EXPECT_TRUE(PortListHolds("8001", 8001));
    EXPECT_TRUE(PortListHolds("any", 8001));
    EXPECT_TRUE(PortListHolds("8000-8010", 8001));
    EXPECT_TRUE(PortListHolds("8000:8001", 8001));
    EXPECT_TRUE(PortListHolds("80,8001", 8001));
    EXPECT_FALSE(PortListHolds("80001", 8001));
    EXPECT_FALSE(PortListHolds("8002-8010", 8001));
    EXPECT_FALSE(PortListHolds("", 8001));
    EXPECT_FALSE(PortListHolds("8001x", 8001));
}

struct FirewalldRow {
    const char* name;
    FirewalldState state;
    std::string verdict;
};

FirewalldZone Zone(std::string name, bool isDefault, std::string target, std::vector<std::string> services,
                   std::vector<FirewalldPort> sourcePorts = {}) {
    FirewalldZone zone;
    zone.name = std::move(name);
    zone.isDefault = isDefault;
    zone.target = std::move(target);
    zone.services = std::move(services);
    zone.sourcePorts = std::move(sourcePorts);
    zone.interfaces = {"eth1"};
    return zone;
}

const std::map<std::string, std::vector<FirewalldPort>> kServices = {{"ssh", {}}, {"quorrel", {{"8001", "udp"}}}};

class FirewalldTest : public ::testing::TestWithParam<FirewalldRow> {};

TEST_P(FirewalldTest, ZoneLetsTheAnswersInOrGetsTheAllowance) {
    EXPECT_EQ(Verdict({JudgeFirewalld(GetParam().state), {}}), GetParam().verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FirewalldTest,
    ::testing::Values(
        FirewalldRow{"default_zone", {{Zone("public", true, "default", {"ssh"})}, kServices, true, true},
                     "firewall-cmd --add-service=quorrel; firewall-cmd --permanent --add-service=quorrel"},
        FirewalldRow{"service_added", {{Zone("public", true, "default", {"ssh", "quorrel"})}, kServices, true, true}, "lets in"},
        FirewalldRow{"source_port_range", {{Zone("public", true, "default", {}, {{"8000-8010", "udp"}})}, kServices, true, true},
                     "lets in"},
        FirewalldRow{"tcp_source_port", {{Zone("public", true, "default", {}, {{"8001", "tcp"}})}, kServices, true, true},
                     "firewall-cmd --add-service=quorrel; firewall-cmd --permanent --add-service=quorrel"},
        FirewalldRow{"trusted_zone", {{Zone("trusted", false, "ACCEPT", {})}, kServices, true, true}, "lets in"},
        FirewalldRow{"other_zone", {{Zone("work", false, "default", {})}, kServices, true, true},
                     "firewall-cmd --zone=work --add-service=quorrel; firewall-cmd --permanent --zone=work --add-service=quorrel"},
        FirewalldRow{"service_not_loaded", {{Zone("public", true, "default", {})}, {}, false, true},
                     "firewall-cmd --reload; firewall-cmd --add-service=quorrel; firewall-cmd --permanent --add-service=quorrel"},
        FirewalldRow{"service_not_installed", {{Zone("public", true, "default", {})}, {}, false, false},
                     "firewall-cmd --add-source-port=8001/udp; firewall-cmd --permanent --add-source-port=8001/udp"}),
    [](const auto& info) { return std::string(info.param.name); });

struct UfwRow {
    const char* name;
    const char* config;
    const char* policy;
    std::optional<std::string> rules;
    std::string verdict;
};

class UfwTest : public ::testing::TestWithParam<UfwRow> {};

TEST_P(UfwTest, RulesLetTheAnswersInOrGetTheAllowance) {
    const UfwRow& row = GetParam();
    EXPECT_EQ(Verdict(JudgeUfw({row.config, std::string("DEFAULT_INPUT_POLICY=\"") + row.policy + "\"\n", row.rules})),
              row.verdict);
}

constexpr const char* kEnabled = "# comment\nENABLED=yes\nLOGLEVEL=low\n";
constexpr const char* kBlocks = "ufw allow proto udp from any port 8001";

INSTANTIATE_TEST_SUITE_P(
    Rows, UfwTest,
    ::testing::Values(
        UfwRow{"disabled", "ENABLED=no\n", "DROP", "", ""},
        UfwRow{"no_rules", kEnabled, "DROP", "*filter\n", kBlocks},
        UfwRow{"allowed", kEnabled, "DROP", "### tuple ### allow udp any 0.0.0.0/0 8001 0.0.0.0/0 in\n", "lets in"},
        UfwRow{"allowed_from_a_subnet_on_an_interface", kEnabled, "DROP",
               "### tuple ### allow udp any 0.0.0.0/0 8001 10.77.0.0/16 in_eth1\n", "lets in"},
        UfwRow{"destination_port_only", kEnabled, "DROP", "### tuple ### allow udp 8001 0.0.0.0/0 any 0.0.0.0/0 in\n", kBlocks},
        UfwRow{"denied", kEnabled, "DROP", "### tuple ### deny udp any 0.0.0.0/0 8001 0.0.0.0/0 in\n", kBlocks},
        UfwRow{"tcp_only", kEnabled, "DROP", "### tuple ### allow tcp any 0.0.0.0/0 8001 0.0.0.0/0 in\n", kBlocks},
        UfwRow{"application", kEnabled, "DROP", "### tuple ### allow any 22 0.0.0.0/0 any 0.0.0.0/0 OpenSSH - in\n", kBlocks},
        UfwRow{"accepting_policy", kEnabled, "ACCEPT", std::nullopt, "lets in"},
        UfwRow{"rules_unreadable", kEnabled, "DROP", std::nullopt, "not checked"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NftablesRow {
    const char* name;
    const char* objects;  // the ruleset's objects, inside {"nftables": [...]}
    std::string verdict;
};

class NftablesTest : public ::testing::TestWithParam<NftablesRow> {};

TEST_P(NftablesTest, InputChainLetsTheAnswersInOrGetsTheAllowance) {
    const auto ruleset = nlohmann::json::parse(std::string("{\"nftables\": [") + GetParam().objects + "]}");
    EXPECT_EQ(Verdict(JudgeNftablesRuleset(ruleset)), GetParam().verdict);
}

#define INPUT_CHAIN(policy) \
    R"({"chain": {"family": "inet", "table": "filter", "name": "input", "type": "filter", "hook": "input", "prio": 0, "policy": ")" policy R"("}})"
#define SOURCE_PORT_RULE(right) \
    R"(, {"rule": {"family": "inet", "table": "filter", "chain": "input", "expr": [{"match": {"op": "==", "left": {"payload": {"protocol": "udp", "field": "sport"}}, "right": )" right R"(}}, {"accept": null}]}})"

INSTANTIATE_TEST_SUITE_P(
    Rows, NftablesTest,
    ::testing::Values(
        NftablesRow{"empty", R"({"metainfo": {"version": "1.0.6"}})", ""},
        NftablesRow{"accepting_input", INPUT_CHAIN("accept"), ""},
        NftablesRow{"dropping_input", INPUT_CHAIN("drop"), "nft insert rule inet filter input udp sport 8001 accept"},
        NftablesRow{"allowed", INPUT_CHAIN("drop") SOURCE_PORT_RULE("8001"), "lets in"},
        NftablesRow{"allowed_in_a_set", INPUT_CHAIN("drop") SOURCE_PORT_RULE(R"({"set": [53, {"range": [8000, 8010]}]})"),
                    "lets in"},
        NftablesRow{"other_port", INPUT_CHAIN("drop") SOURCE_PORT_RULE("8002"),
                    "nft insert rule inet filter input udp sport 8001 accept"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorrel::cli
