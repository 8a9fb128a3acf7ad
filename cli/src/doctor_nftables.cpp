#include "doctor_nftables.h"

#include <algorithm>
#include <string>

#include "doctor_program_output.h"

namespace quorrel::cli {
namespace {

// A match's right side: a number, a set of numbers and ranges, or a range.
bool Holds(const nlohmann::json& right, unsigned port) {
    if (right.is_number_unsigned()) return right.get<unsigned>() == port;
    if (!right.is_object()) return false;
    if (right.contains("range")) {
        const nlohmann::json& range = right["range"];
        return range.size() == 2 && range[0].is_number() && range[1].is_number() && range[0].get<unsigned>() <= port &&
               port <= range[1].get<unsigned>();
    }
    if (right.contains("set") && right["set"].is_array()) {
        return std::any_of(right["set"].begin(), right["set"].end(),
                           [port](const nlohmann::json& item) { return Holds(item, port); });
    }
    return false;
}

bool MatchesUnitSourcePort(const nlohmann::json& expression) {
    if (!expression.contains("match")) return false;
    const nlohmann::json& match = expression["match"];
    const nlohmann::json payload = match.value("left", nlohmann::json::object()).value("payload", nlohmann::json::object());
    return payload.value("protocol", "") == "udp" && payload.value("field", "") == "sport" &&
           match.value("op", "==") != "!=" && Holds(match.value("right", nlohmann::json()), kUnitPort);
}

bool MatchesDestinationPort(const nlohmann::json& expression) {
    return expression.contains("match") &&
           expression["match"].value("left", nlohmann::json::object()).value("payload", nlohmann::json::object()).value("field", "") ==
               "dport";
}

// "udp sport 8001 accept", narrowed to an interface or a source subnet perhaps, but not to a
// destination port: an answer comes to whatever port the PC's discovery sent from.
bool AcceptsUnitReplies(const nlohmann::json& rule) {
    const nlohmann::json expressions = rule.value("expr", nlohmann::json::array());
    return std::any_of(expressions.begin(), expressions.end(), MatchesUnitSourcePort) &&
           std::none_of(expressions.begin(), expressions.end(), MatchesDestinationPort) &&
           std::any_of(expressions.begin(), expressions.end(),
                       [](const nlohmann::json& expression) { return expression.contains("accept"); });
}

}  // namespace

FirewallLook JudgeNftablesRuleset(const nlohmann::json& ruleset) {
    if (!ruleset.is_object()) return {};
    const nlohmann::json objects = ruleset.value("nftables", nlohmann::json::array());
    FirewallFinding finding{"nftables", true};
    for (const nlohmann::json& object : objects) {
        if (!object.contains("chain")) continue;
        const nlohmann::json& chain = object["chain"];
        const std::string family = chain.value("family", "");
        if (chain.value("hook", "") != "input" || chain.value("policy", "") != "drop" || (family != "ip" && family != "inet")) {
            continue;
        }
        const std::string table = chain.value("table", "");
        const std::string name = chain.value("name", "");
        const bool allowed = std::any_of(objects.begin(), objects.end(), [&](const nlohmann::json& other) {
            if (!other.contains("rule")) return false;
            const nlohmann::json& rule = other["rule"];
            return rule.value("family", "") == family && rule.value("table", "") == table && rule.value("chain", "") == name &&
                   AcceptsUnitReplies(rule);
        });
        const std::string where = family + " " + table + " " + name;
        if (allowed) {
            finding.findings.push_back("The nftables chain " + where + " drops by default and lets in UDP from source port 8001.");
        } else {
            finding.letsRepliesIn = false;
            finding.findings.push_back("The nftables chain " + where +
                                       " drops by default, and no rule in it lets in UDP from source port 8001: it drops the "
                                       "units' answers.");
            finding.fix.push_back("nft insert rule " + where + " udp sport 8001 accept");
        }
    }
    if (finding.findings.empty()) return {};
    return {finding, {}};
}

FirewallLook LookAtNftables() {
    const ProgramOutput nft = RunProgram({"nft", "-j", "list", "ruleset"});
    if (!nft.started) return {std::nullopt, "the nftables ruleset: nft is not installed (" + nft.errorText + ")"};
    if (nft.status != 0) {
        if (nft.errorText.find("Operation not permitted") != std::string::npos) {
            return {std::nullopt, "the nftables ruleset: only root can read it: run it as root (sudo quorrel doctor)"};
        }
        return {std::nullopt, "the nftables ruleset: nft failed: " + nft.errorText.substr(0, nft.errorText.find('\n'))};
    }
    // A field of another type than nft gives it would throw; it is nft's JSON that cannot be read.
    const FirewallLook unreadable{std::nullopt, "the nftables ruleset: nft's JSON could not be read"};
    const nlohmann::json ruleset = nlohmann::json::parse(nft.out, nullptr, false);
    if (ruleset.is_discarded()) return unreadable;
    try {
        return JudgeNftablesRuleset(ruleset);
    } catch (const nlohmann::json::exception&) {
        return unreadable;
    }
}

}  // namespace quorrel::cli
