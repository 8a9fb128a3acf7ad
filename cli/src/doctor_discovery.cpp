#include "doctor_discovery.h"

#include <net/if.h>

#include <algorithm>

#include "common_options.h"
#include "discovery.h"
#include "doctor_capture.h"

namespace quorrel::cli {
namespace {

std::string InterfaceName(unsigned index) {
    char name[IF_NAMESIZE] = {};
    return if_indextoname(index, name) == nullptr ? "interface " + std::to_string(index) : name;
}

std::string Replies(std::size_t count) { return std::to_string(count) + (count == 1 ? " reply" : " replies"); }

}  // namespace

DiscoveryFacts RunLiveDiscovery(const LibraryExports& library, std::uint32_t timeoutMs) {
    DiscoveryFacts facts;
    std::unique_ptr<ReplyCapture> capture = ReplyCapture::Start(facts.captureWhyNot);
    Discovery discovery = DiscoverAllUnits(library, kSiteCapacity, timeoutMs);
    facts.failure = std::move(discovery.failure);
    facts.units = std::move(discovery.units);
    if (!capture) return facts;
    facts.captured = true;
    std::map<std::string, InterfaceAnswers> byName;
    for (const SeenReply& reply : capture->Stop()) {
        const std::string name = InterfaceName(reply.interfaceIndex);
        byName[name].interface = name;
        byName[name].units.emplace(reply.serial, reply.source);
    }
    for (auto& [name, answers] : byName) facts.reached.push_back(std::move(answers));
    return facts;
}

std::vector<ForeignAnswers> FindForeignAnswers(const DiscoveryFacts& facts,
                                               const std::map<std::string, std::vector<Subnet>>& subnets) {
    std::vector<ForeignAnswers> foreign;
    for (const InterfaceAnswers& answers : facts.reached) {
        const auto own = subnets.find(answers.interface);
        ForeignAnswers outside{answers.interface, ReadReversePathFilter(answers.interface), {}};
        for (const auto& [serial, source] : answers.units) {
            const bool inside = own != subnets.end() && std::any_of(own->second.begin(), own->second.end(),
                                                                    [source = source](const Subnet& subnet) { return subnet.Holds(source); });
            if (!inside) outside.answers.push_back({serial, source, FindUnit(facts.units, serial) != nullptr});
        }
        if (!outside.answers.empty()) foreign.push_back(std::move(outside));
    }
    return foreign;
}

CheckResult CheckDiscovery(const DiscoveryFacts& facts, const FirewallFinding* blocking,
                           const std::set<std::uint32_t>& droppedByReversePath,
                           const std::vector<std::string>& withoutCarrier) {
    CheckResult result{"discovery"};
    result.details["units_found"] = facts.units.size();
    if (facts.failure) {
        result.status = CheckStatus::Problem;
        result.findings.push_back("The discovery failed: " + facts.failure->text);
        return result;
    }
    nlohmann::json listed = nlohmann::json::array();
    bool anyDropped = false;
    for (const InterfaceAnswers& answers : facts.reached) {
        std::size_t received = 0;
        bool firewallDrops = false;
        for (const auto& [serial, source] : answers.units) {
            if (FindUnit(facts.units, serial) != nullptr) {
                ++received;
            } else if (droppedByReversePath.count(serial) == 0) {
                firewallDrops = true;
            }
        }
        listed.push_back({{"name", answers.interface}, {"replies_reached", answers.units.size()}, {"replies_received", received}});
        std::string text = Replies(answers.units.size()) + " reached " + answers.interface;
        if (received == answers.units.size()) {
            result.findings.push_back(text + ", and quorrel received " + (received == 1 ? "it." : "all of them."));
            continue;
        }
        anyDropped = true;
        text += received == 0 ? " but none reached quorrel: " : " but only " + std::to_string(received) + " reached quorrel: ";
        if (!firewallDrops) {
            text += "the strict reverse-path filter drops the others (see below).";
        } else if (blocking != nullptr) {
            text += "the host firewall (" + blocking->firewall + ") drops them.";
            result.fix = blocking->fix;
        } else {
            text += "something on this PC drops them: a firewall rule for UDP from source port 8001 that doctor cannot read.";
        }
        result.findings.push_back(text);
    }
    if (facts.captured) result.details["interfaces"] = std::move(listed);
    if (anyDropped) result.status = CheckStatus::Problem;

    if (facts.captured ? facts.reached.empty() : facts.units.empty()) {
        result.status = CheckStatus::Problem;
        result.findings.push_back(facts.captured ? "No unit answered: no answer reached any interface." : "No unit answered.");
        if (!facts.captured && blocking != nullptr) {
            result.findings.push_back("The host firewall (" + blocking->firewall + ") drops the units' answers, if any came.");
            result.fix = blocking->fix;
        }
        for (const std::string& name : withoutCarrier) {
            result.findings.push_back(name + " is up but has no carrier: is its cable in, and the units switched on?");
        }
        result.findings.push_back("Units on a subnet of their own behind a router answer only when asked by address: quorrel doctor --target 10.80.0.0/24, with their subnet.");
    } else if (!facts.captured) {
        result.findings.push_back(std::to_string(facts.units.size()) + (facts.units.size() == 1 ? " unit" : " units") + " answered.");
    }
    if (!facts.captured) {
        result.notChecked.push_back("how many answers reached each interface: counting them " + facts.captureWhyNot +
                                    ": run it as root (sudo quorrel doctor)");
    }
    return result;
}

}  // namespace quorrel::cli
