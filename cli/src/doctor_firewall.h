// quorrel doctor's second check: whether a host firewall is active, and whether it lets in the
// units' answers, UDP from source port 8001. A unit answers a broadcast from its own address, so
// connection tracking does not take the answer for a reply: only a rule for that source port
// lets it in.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "doctor_report.h"

namespace quorrel::cli {

inline constexpr unsigned kUnitPort = 8001;

// One firewall found active.
struct FirewallFinding {
    FirewallFinding(std::string name, bool letsIn) : firewall(std::move(name)), letsRepliesIn(letsIn) {}

    std::string firewall;  // "firewalld", "ufw" or "nftables"
    bool letsRepliesIn = false;
    std::vector<std::string> findings;
    // The allowance to give when it keeps the answers out, most immediate first.
    std::vector<std::string> fix;
};

// What looking at one firewall gave: the firewall when it is active, and what could not be read.
struct FirewallLook {
    std::optional<FirewallFinding> finding;
    std::string notChecked;
};

// What each firewall said, or why it could not be asked.
struct FirewallSurvey {
    std::vector<FirewallFinding> active;
    std::vector<std::string> notChecked;
};

// Asks firewalld about the zones of interfaces (the ones carrying the broadcast), reads ufw's
// files, and reads the nftables ruleset when neither of them runs: both keep their rules there.
FirewallSurvey SurveyFirewalls(const std::vector<std::string>& interfaces);

CheckResult CheckFirewall(const FirewallSurvey& survey);

// The first firewall that keeps the answers out, or null.
const FirewallFinding* BlockingFirewall(const FirewallSurvey& survey);

// Whether a port list as firewalls write it holds port: "8001", "any", ranges "8000-8010" or
// "8000:8010", lists "8001,8080".
bool PortListHolds(std::string_view list, unsigned port);

}  // namespace quorrel::cli
