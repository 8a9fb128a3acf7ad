#include "doctor_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstdlib>
#include <memory>

#include "ipv4_text.h"
#include "trace.h"

namespace quorrel::cli {

varl::InterfaceChoice ReadInterfaceChoice() {
    const char* wanted = std::getenv("VARL_INTERFACES");
    return varl::ChooseInterfaces(varl::SystemInterfaceList().List(), wanted == nullptr ? "" : wanted, varl::Trace());
}

CheckResult CheckInterfaces(const varl::InterfaceChoice& choice) {
    CheckResult result{"interfaces"};
    nlohmann::json listed = nlohmann::json::array();
    for (const varl::NetworkInterface& chosen : choice.chosen) {
        result.findings.push_back(chosen.name + " carries the broadcast, from " + FormatAddress(chosen.address));
        listed.push_back({{"name", chosen.name}, {"broadcasts", true}, {"address", FormatAddress(chosen.address)}});
    }
    for (const varl::LeftOutInterface& left : choice.leftOut) {
        result.findings.push_back(left.candidate.name + " does not: " + left.why);
        listed.push_back({{"name", left.candidate.name}, {"broadcasts", false}, {"why", left.why}});
    }
    result.details["interfaces"] = std::move(listed);
    if (choice.chosen.empty()) {
        result.status = CheckStatus::Problem;
        result.findings.insert(result.findings.begin(),
                               choice.wantedNoneUsable
                                   ? "None of the interfaces named in --interface or VARL_INTERFACES can carry the broadcast."
                                   : "No interface can carry the broadcast, so no unit hears a discovery.");
        for (const varl::LeftOutInterface& left : choice.leftOut) {
            if (!left.candidate.up && !left.candidate.loopback) result.fix.push_back("ip link set " + left.candidate.name + " up");
        }
    }
    return result;
}

std::map<std::string, std::vector<Subnet>> ReadSubnets() {
    std::map<std::string, std::vector<Subnet>> subnets;
    ifaddrs* first = nullptr;
    if (getifaddrs(&first) != 0) return subnets;
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(first, freeifaddrs);
    for (const ifaddrs* entry = first; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || entry->ifa_netmask == nullptr) continue;
        const std::string label = entry->ifa_name;
        subnets[label.substr(0, label.find(':'))].push_back(
            {ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr),
             ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr)});
    }
    return subnets;
}

}  // namespace quorrel::cli
