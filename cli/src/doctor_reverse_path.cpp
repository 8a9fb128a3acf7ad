#include "doctor_reverse_path.h"

#include <algorithm>
#include <fstream>

#include "ipv4_text.h"
#include "unit_text.h"

namespace quorrel::cli {
namespace {

constexpr int kStrict = 1;
// Loose: a source is accepted when any route leads back to it.
constexpr int kLoose = 2;

std::optional<int> ReadSetting(const std::string& interface) {
    std::ifstream file("/proc/sys/net/ipv4/conf/" + interface + "/rp_filter");
    int value = 0;
    if (!(file >> value)) return std::nullopt;
    return value;
}

bool Strict(const ForeignAnswers& foreign) { return foreign.reversePathFilter == kStrict; }

}  // namespace

std::optional<int> ReadReversePathFilter(const std::string& interface) {
    const std::optional<int> all = ReadSetting("all");
    const std::optional<int> own = ReadSetting(interface);
    if (!all || !own) return std::nullopt;
    return std::max(*all, *own);
}

std::set<std::uint32_t> DroppedByReversePath(const std::vector<ForeignAnswers>& foreign) {
    std::set<std::uint32_t> dropped;
    for (const ForeignAnswers& on : foreign) {
        if (!Strict(on)) continue;
        for (const ForeignAnswer& answer : on.answers) {
            if (!answer.received) dropped.insert(answer.serial);
        }
    }
    return dropped;
}

CheckResult CheckReversePath(bool captured, const std::vector<ForeignAnswers>& foreign) {
    CheckResult result{"reverse_path_filter"};
    if (!captured) {
        result.status = CheckStatus::NotChecked;
        result.notChecked.push_back(
            "answers the reverse-path filter drops: seeing them needs CAP_NET_RAW: run it as root (sudo quorrel doctor)");
        return result;
    }
    nlohmann::json listed = nlohmann::json::array();
    for (const ForeignAnswers& on : foreign) {
        const std::string filter = on.reversePathFilter ? std::to_string(*on.reversePathFilter) : "unknown";
        nlohmann::json units = nlohmann::json::array();
        for (const ForeignAnswer& answer : on.answers) {
            const std::string unit = FormatSerial(answer.serial) + " answered on " + on.interface + " from " +
                                     FormatAddress(answer.source) + ", outside " + on.interface + "'s subnets";
            if (Strict(on) && !answer.received) {
                result.findings.push_back(unit + ", and " + on.interface +
                                          "'s strict reverse-path filter (rp_filter 1) drops its answers.");
            } else {
                result.findings.push_back(unit + "; " + on.interface + "'s reverse-path filter (rp_filter " + filter +
                                          ") lets its answers through.");
            }
            units.push_back({{"serial", FormatSerial(answer.serial)}, {"source", FormatAddress(answer.source)},
                             {"received", answer.received}});
        }
        listed.push_back({{"name", on.interface}, {"rp_filter", on.reversePathFilter ? nlohmann::json(*on.reversePathFilter) : nlohmann::json()},
                          {"foreign_answers", std::move(units)}});
        const bool drops = Strict(on) && std::any_of(on.answers.begin(), on.answers.end(),
                                                      [](const ForeignAnswer& answer) { return !answer.received; });
        if (drops) {
            result.status = CheckStatus::Problem;
            const std::string setting = "net.ipv4.conf." + on.interface + ".rp_filter";
            result.fix.push_back("sysctl -w " + setting + "=" + std::to_string(kLoose));
            result.fix.push_back("echo '" + setting + " = " + std::to_string(kLoose) + "' > /etc/sysctl.d/60-quorrel-" +
                                 on.interface + ".conf");
        }
    }
    result.details["interfaces"] = std::move(listed);
    if (foreign.empty()) result.findings.push_back("Every unit answered from inside the subnets of its interface.");
    return result;
}

}  // namespace quorrel::cli
