#include "doctor_firewall.h"

#include <charconv>

#include "doctor_firewalld.h"
#include "doctor_nftables.h"
#include "doctor_ufw.h"

namespace quorrel::cli {
namespace {

bool ReadPort(std::string_view text, unsigned& port) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool PortListHolds(std::string_view list, unsigned port) {
    if (list == "any") return true;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        const std::size_t dash = item.find_first_of("-:");
        unsigned low = 0;
        unsigned high = 0;
        if (dash == std::string_view::npos) {
            if (ReadPort(item, low) && low == port) return true;
        } else if (ReadPort(item.substr(0, dash), low) && ReadPort(item.substr(dash + 1), high) && low <= port &&
                   port <= high) {
            return true;
        }
    }
    return false;
}

FirewallSurvey SurveyFirewalls(const std::vector<std::string>& interfaces) {
    FirewallSurvey survey;
    const auto add = [&survey](FirewallLook look) {
        if (look.finding) survey.active.push_back(std::move(*look.finding));
        if (!look.notChecked.empty()) survey.notChecked.push_back(std::move(look.notChecked));
    };
    add(LookAtFirewalld(interfaces));
    add(LookAtUfw());
    if (survey.active.empty()) add(LookAtNftables());
    return survey;
}

CheckResult CheckFirewall(const FirewallSurvey& survey) {
    CheckResult result{"firewall"};
    result.notChecked = survey.notChecked;
    nlohmann::json listed = nlohmann::json::array();
    for (const FirewallFinding& finding : survey.active) {
        result.findings.insert(result.findings.end(), finding.findings.begin(), finding.findings.end());
        listed.push_back({{"name", finding.firewall}, {"lets_replies_in", finding.letsRepliesIn}});
        if (!finding.letsRepliesIn) {
            result.status = CheckStatus::Problem;
            result.fix.insert(result.fix.end(), finding.fix.begin(), finding.fix.end());
        }
    }
    result.details["firewalls"] = std::move(listed);
    if (survey.active.empty()) {
        if (survey.notChecked.empty()) {
            result.findings.push_back("No host firewall is active (firewalld, ufw, or an nftables ruleset that drops by default).");
        } else {
            result.status = CheckStatus::NotChecked;
        }
    }
    return result;
}

const FirewallFinding* BlockingFirewall(const FirewallSurvey& survey) {
    for (const FirewallFinding& finding : survey.active) {
        if (!finding.letsRepliesIn) return &finding;
    }
    return nullptr;
}

}  // namespace quorrel::cli
