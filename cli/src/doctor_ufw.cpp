#include "doctor_ufw.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace quorrel::cli {
namespace {

std::optional<std::string> ReadWhole(const char* path) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The value of KEY=VALUE in a shell-style file, quotes removed; empty when absent.
std::string SettingOf(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    std::string value;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key + "=", 0) != 0) continue;
        value = line.substr(key.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    }
    return value;
}

// A rule as ufw records it: "### tuple ### ACTION PROTOCOL DPORT DST SPORT SRC [APPS...] DIRECTION",
// DIRECTION "in", "out" or "in_IFACE".
bool AllowsUnitReplies(const std::string& line) {
    std::istringstream words(line.substr(line.find("###", 3) + 3));
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (fields.size() < 7) return false;
    // An answer comes to whatever port the PC's discovery sent from: the rule must leave DPORT open.
    return fields[0] == "allow" && (fields[1] == "udp" || fields[1] == "any") && fields[2] == "any" &&
           PortListHolds(fields[4], kUnitPort) && fields.back().rfind("in", 0) == 0;
}

}  // namespace

FirewallLook JudgeUfw(const UfwFiles& files) {
    if (SettingOf(files.config, "ENABLED") != "yes") return {};
    FirewallFinding finding{"ufw", false};
    const std::string policy = SettingOf(files.defaults, "DEFAULT_INPUT_POLICY");
    if (policy == "ACCEPT") {
        finding.letsRepliesIn = true;
        finding.findings.push_back("ufw is enabled, and its default input policy accepts.");
        return {finding, {}};
    }
    if (!files.userRules) {
        return {std::nullopt, "ufw is enabled, and only root can read its rules (/etc/ufw/user.rules): run it as root "
                              "(sudo quorrel doctor)"};
    }
    std::istringstream lines(*files.userRules);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("### tuple ###", 0) == 0 && AllowsUnitReplies(line)) finding.letsRepliesIn = true;
    }
    if (finding.letsRepliesIn) {
        finding.findings.push_back("ufw is enabled, and a rule lets in UDP from source port 8001.");
    } else {
        finding.findings.push_back("ufw is enabled, and no rule lets in UDP from source port 8001: it drops the units' answers.");
        finding.fix.push_back("ufw allow proto udp from any port 8001");
    }
    return {finding, {}};
}

FirewallLook LookAtUfw() {
    const std::optional<std::string> config = ReadWhole("/etc/ufw/ufw.conf");
    if (!config) return {};
    return JudgeUfw({*config, ReadWhole("/etc/default/ufw").value_or(""), ReadWhole("/etc/ufw/user.rules")});
}

}  // namespace quorrel::cli
