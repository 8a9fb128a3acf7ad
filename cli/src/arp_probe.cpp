#include "arp_probe.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "ipv4_text.h"

namespace quorrel::cli {
namespace {

using Mac = std::array<std::uint8_t, 6>;
using Clock = std::chrono::steady_clock;

constexpr int kProbes = 3;
constexpr auto kProbeInterval = std::chrono::milliseconds(333);
constexpr auto kProbeTime = std::chrono::milliseconds(1000);

// An ARP packet for Ethernet and IPv4: hardware type, protocol type, their lengths, the operation,
// then sender and target hardware and protocol addresses; every field in network byte order.
constexpr std::size_t kArpLength = 28;
constexpr std::uint16_t kArpRequest = 1;
constexpr std::uint16_t kArpReply = 2;

struct Interface {
    std::string name;
    unsigned index = 0;
    Mac mac{};
    // Its IPv4 addresses and their masks.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> subnets;
};

std::string MacText(const std::uint8_t* mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::uint32_t Ipv4Of(const sockaddr* address) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

// The Ethernet interfaces that are up, with their IPv4 subnets.
std::vector<Interface> EthernetInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    std::map<std::string, Interface> byName;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || (entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        // An address with a label ("lab2:1") belongs to the interface before the colon.
        const std::string name(entry->ifa_name, std::strcspn(entry->ifa_name, ":"));
        Interface& interface = byName[name];
        interface.name = name;
        if (entry->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
            interface.index = static_cast<unsigned>(link->sll_ifindex);
            if (link->sll_halen == interface.mac.size()) std::copy_n(link->sll_addr, interface.mac.size(), interface.mac.begin());
        } else if (entry->ifa_addr->sa_family == AF_INET && entry->ifa_netmask != nullptr) {
            interface.subnets.emplace_back(Ipv4Of(entry->ifa_addr), Ipv4Of(entry->ifa_netmask));
        }
    }
    freeifaddrs(list);
    std::vector<Interface> interfaces;
    for (auto& [name, interface] : byName) {
        if (interface.index != 0 && interface.mac != Mac{} && !interface.subnets.empty()) interfaces.push_back(interface);
    }
    return interfaces;
}

const Interface* LinkHolding(const std::vector<Interface>& interfaces, std::uint32_t address) {
    if (address == 0) return nullptr;
    for (const Interface& interface : interfaces) {
        for (const auto& [own, mask] : interface.subnets) {
            if ((own & mask) == (address & mask)) return &interface;
        }
    }
    return nullptr;
}

bool IsOwnAddress(const Interface& interface, std::uint32_t address) {
    return std::any_of(interface.subnets.begin(), interface.subnets.end(),
                       [address](const auto& subnet) { return subnet.first == address; });
}

void PutAddress(std::uint8_t* at, std::uint32_t address) {
    const std::uint32_t network = htonl(address);
    std::memcpy(at, &network, 4);
}

std::uint32_t GetAddress(const std::uint8_t* at) {
    std::uint32_t network = 0;
    std::memcpy(&network, at, 4);
    return ntohl(network);
}

std::array<std::uint8_t, kArpLength> ProbeFrame(const Mac& ownMac, std::uint32_t address) {
    std::array<std::uint8_t, kArpLength> frame{0, 1, 0x08, 0x00, 6, 4, 0, kArpRequest};
    std::copy(ownMac.begin(), ownMac.end(), frame.begin() + 8);
    // Sender address 14-17 and target hardware address 18-23 stay zero.
    PutAddress(frame.data() + 24, address);
    return frame;
}

// The sender of an ARP packet that shows another host holding address or claiming it: an answer
// or announcement for it, or a probe of its own for it.
std::optional<std::string> HolderIn(const std::uint8_t* packet, std::size_t length, std::uint32_t address,
                                    const Mac& ownMac) {
    static constexpr std::uint8_t kEthernetIpv4[] = {0, 1, 0x08, 0x00, 6, 4};
    if (length < kArpLength || !std::equal(std::begin(kEthernetIpv4), std::end(kEthernetIpv4), packet)) return std::nullopt;
    const auto operation = static_cast<std::uint16_t>(packet[6] << 8 | packet[7]);
    if ((operation != kArpRequest && operation != kArpReply) || std::equal(ownMac.begin(), ownMac.end(), packet + 8))
        return std::nullopt;
    const std::uint32_t sender = GetAddress(packet + 14);
    const std::uint32_t target = GetAddress(packet + 24);
    const bool probe = operation == kArpRequest && sender == 0 && target == address;
    if (sender != address && !probe) return std::nullopt;
    return MacText(packet + 8);
}

// One link's probe: its socket and the addresses asked there.
struct LinkProbe {
    const Interface* interface;
    int socket = -1;
    std::vector<std::uint32_t> addresses;
};

int OpenArpSocket(const Interface& interface) {
    const int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_ARP));
    if (fd < 0) return -1;
    sockaddr_ll local{};
    local.sll_family = AF_PACKET;
    local.sll_protocol = htons(ETH_P_ARP);
    local.sll_ifindex = static_cast<int>(interface.index);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool SendProbes(const LinkProbe& link) {
    sockaddr_ll broadcast{};
    broadcast.sll_family = AF_PACKET;
    broadcast.sll_protocol = htons(ETH_P_ARP);
    broadcast.sll_ifindex = static_cast<int>(link.interface->index);
    broadcast.sll_halen = 6;
    std::fill_n(broadcast.sll_addr, 6, 0xFF);
    for (const std::uint32_t address : link.addresses) {
        const auto frame = ProbeFrame(link.interface->mac, address);
        if (sendto(link.socket, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&broadcast),
                   sizeof broadcast) < 0)
            return false;
    }
    return true;
}

// Reads every packet queued on the link, adding the holders of its addresses not yet held.
void ReadAnswers(const LinkProbe& link, std::vector<AddressHolder>& holders) {
    std::array<std::uint8_t, 1500> packet{};
    sockaddr_ll from{};
    socklen_t fromLength = sizeof from;
    ssize_t length;
    while ((length = recvfrom(link.socket, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&from),
                              &fromLength)) >= 0) {
        fromLength = sizeof from;
        if (from.sll_pkttype == PACKET_OUTGOING) continue;
        for (const std::uint32_t address : link.addresses) {
            const bool held = std::any_of(holders.begin(), holders.end(),
                                          [address](const AddressHolder& holder) { return holder.address == address; });
            if (held) continue;
            if (const auto mac = HolderIn(packet.data(), static_cast<std::size_t>(length), address, link.interface->mac))
                holders.push_back({address, *mac, link.interface->name, false});
        }
    }
}

std::size_t AddressCount(const std::vector<LinkProbe>& links) {
    std::size_t count = 0;
    for (const LinkProbe& link : links) count += link.addresses.size();
    return count;
}

// Groups the addresses by the link each is probed on; says which are on no link, and holds those
// that are this computer's own.
std::vector<LinkProbe> LinksToProbe(const std::vector<Interface>& interfaces,
                                    const std::vector<ProbedAddress>& addresses, ProbeReport& report) {
    std::vector<LinkProbe> links;
    for (const ProbedAddress& probed : addresses) {
        const Interface* interface = LinkHolding(interfaces, probed.unitAddress);
        if (interface == nullptr) interface = LinkHolding(interfaces, probed.address);
        if (interface == nullptr) {
            report.notes.push_back("not probing " + FormatAddress(probed.address) +
                                   " with ARP: the unit is on no link of this computer");
        } else if (IsOwnAddress(*interface, probed.address)) {
            report.holders.push_back({probed.address, MacText(interface->mac.data()), interface->name, true});
        } else {
            auto link = std::find_if(links.begin(), links.end(),
                                     [interface](const LinkProbe& each) { return each.interface == interface; });
            if (link == links.end()) link = links.insert(links.end(), LinkProbe{interface, -1, {}});
            link->addresses.push_back(probed.address);
        }
    }
    return links;
}

// Opens every link's socket, or none when the process may not (it lacks CAP_NET_RAW). A link
// whose socket fails for another reason is said and left out.
void OpenSockets(std::vector<LinkProbe>& links, ProbeReport& report) {
    for (LinkProbe& link : links) {
        link.socket = OpenArpSocket(*link.interface);
        if (link.socket >= 0) continue;
        if (errno == EPERM || errno == EACCES) {
            report.noCapability = true;
            break;
        }
        report.warnings.push_back("cannot probe on " + link.interface->name + " with ARP: " + std::strerror(errno));
    }
    for (LinkProbe& link : links) {
        if (report.noCapability && link.socket >= 0) close(link.socket);
    }
    links.erase(std::remove_if(links.begin(), links.end(),
                               [&report](const LinkProbe& link) { return report.noCapability || link.socket < 0; }),
                links.end());
}

// Sends the probes on their schedule and reads what comes back, until every address is held or
// the time is up.
void ProbeOnSchedule(const std::vector<LinkProbe>& links, ProbeReport& report) {
    const std::size_t probedCount = AddressCount(links);
    const std::size_t heldBefore = report.holders.size();
    const auto started = Clock::now();
    for (int sent = 0; report.holders.size() - heldBefore < probedCount;) {
        const auto now = Clock::now();
        if (sent < kProbes && now >= started + sent * kProbeInterval) {
            for (const LinkProbe& link : links) {
                if (!SendProbes(link) && sent == 0) {
                    report.warnings.push_back("cannot probe on " + link.interface->name + " with ARP: " +
                                              std::strerror(errno));
                }
            }
            ++sent;
            continue;
        }
        const auto until = sent < kProbes ? started + sent * kProbeInterval : started + kProbeTime;
        if (now >= until) break;
        std::vector<pollfd> polled;
        for (const LinkProbe& link : links) polled.push_back({link.socket, POLLIN, 0});
        poll(polled.data(), polled.size(),
             static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(until - now).count()));
        for (const LinkProbe& link : links) ReadAnswers(link, report.holders);
    }
}

}  // namespace

ProbeReport ArpProbe::Probe(const std::vector<ProbedAddress>& addresses) const {
    ProbeReport report;
    const std::vector<Interface> interfaces = EthernetInterfaces();  // the links point into it
    std::vector<LinkProbe> links = LinksToProbe(interfaces, addresses, report);
    OpenSockets(links, report);
    ProbeOnSchedule(links, report);
    for (const LinkProbe& link : links) {
        close(link.socket);
        for (const std::uint32_t address : link.addresses) {
            const bool held = std::any_of(report.holders.begin(), report.holders.end(),
                                          [address](const AddressHolder& holder) { return holder.address == address; });
            report.notes.push_back("probed " + FormatAddress(address) + " with ARP on " + link.interface->name + ": " +
                                   (held ? "answered" : "no answer"));
        }
    }
    return report;
}

}  // namespace quorrel::cli
