#include "network_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <memory>

namespace varl {
namespace {

// The names in wanted, separated by commas or blanks, one at a time.
class NameList {
public:
    explicit NameList(std::string_view names) : rest_(names) {}

    // The next name, or false at the end.
    bool Next(std::string_view& name) {
        constexpr std::string_view kSeparators = ", \t\n";
        const std::size_t start = rest_.find_first_not_of(kSeparators);
        if (start == std::string_view::npos) return false;
        rest_.remove_prefix(start);
        const std::size_t end = std::min(rest_.find_first_of(kSeparators), rest_.size());
        name = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return true;
    }

private:
    std::string_view rest_;
};

bool Names(std::string_view wanted, std::string_view name) {
    NameList names(wanted);
    for (std::string_view next; names.Next(next);) {
        if (next == name) return true;
    }
    return false;
}

// Why an interface cannot carry the broadcast, or null when it can.
const char* Unusable(const NetworkInterface& candidate) {
    if (candidate.loopback) return "loopback";
    if (!candidate.up) return "down";
    if (!candidate.running) return "not running (no carrier)";
    if (!candidate.broadcast) return "cannot broadcast";
    if (!candidate.hasAddress) return "no IPv4 address";
    return nullptr;
}

}  // namespace

std::vector<NetworkInterface> SystemInterfaceList::List() {
    ifaddrs* first = nullptr;
    if (getifaddrs(&first) != 0) return {};
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(first, freeifaddrs);

    // The list holds one entry per interface (its link) and one per address, an address that
    // carries a label ("eth0:1") under that label.
    std::vector<NetworkInterface> found;
    for (const ifaddrs* entry = first; entry != nullptr; entry = entry->ifa_next) {
        const std::string_view label = entry->ifa_name;
        const std::string_view name = label.substr(0, label.find(':'));
        auto known = std::find_if(found.begin(), found.end(), [&](const auto& other) { return other.name == name; });
        if (known == found.end()) {
            NetworkInterface added;
            added.name = std::string(name);
            added.index = if_nametoindex(added.name.c_str());
            added.up = (entry->ifa_flags & IFF_UP) != 0;
            added.running = (entry->ifa_flags & IFF_RUNNING) != 0;
            added.broadcast = (entry->ifa_flags & IFF_BROADCAST) != 0;
            added.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
            known = found.insert(found.end(), added);
        }
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET && !known->hasAddress) {
            known->hasAddress = true;
            known->address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        }
    }
    return found;
}

InterfaceChoice ChooseInterfaces(const std::vector<NetworkInterface>& all, std::string_view wanted,
                                 const Trace& trace) {
    std::string_view firstName;
    const bool narrowed = NameList(wanted).Next(firstName);
    InterfaceChoice choice;
    for (const NetworkInterface& candidate : all) {
        const char* why = narrowed && !Names(wanted, candidate.name) ? "not named in VARL_INTERFACES" : Unusable(candidate);
        if (why != nullptr) {
            trace.Line("skipped %s: %s", candidate.name.c_str(), why);
            choice.leftOut.push_back({candidate, why});
        } else {
            choice.chosen.push_back(candidate);
        }
    }
    if (!narrowed) return choice;
    if (trace.on()) {
        NameList names(wanted);
        for (std::string_view name; names.Next(name);) {
            if (std::none_of(all.begin(), all.end(), [&](const auto& candidate) { return candidate.name == name; })) {
                trace.Line("VARL_INTERFACES names %.*s, which no interface has", static_cast<int>(name.size()),
                           name.data());
            }
        }
    }
    choice.wantedNoneUsable = choice.chosen.empty();
    return choice;
}

}  // namespace varl
