// The network interfaces a broadcast leaves by. A datagram to 255.255.255.255 leaves by the one
// interface the routing table picks, so the exchanges send it out of every interface that can
// carry it, each time with that interface's own address as the source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace.h"

namespace varl {

// One interface as the system lists it.
struct NetworkInterface {
    std::string name;
    unsigned index = 0;
    bool up = false;
    bool running = false;
    bool broadcast = false;
    bool loopback = false;
    bool hasAddress = false;
    uint32_t address = 0;  // its first IPv4 address, first octet in the most significant byte
};

// The interfaces of the system, as an interface so tests can script them.
class InterfaceList {
public:
    virtual ~InterfaceList() = default;

    // Every interface once, in the system's order, however many addresses it has; empty when
    // they cannot be listed.
    virtual std::vector<NetworkInterface> List() = 0;
};

class SystemInterfaceList final : public InterfaceList {
public:
    std::vector<NetworkInterface> List() override;
};

// An interface a broadcast does not go out of, and why: "loopback", "down", "not running (no
// carrier)", "cannot broadcast", "no IPv4 address" or "not named in VARL_INTERFACES".
struct LeftOutInterface {
    NetworkInterface candidate;
    const char* why = nullptr;
};

// The interfaces a broadcast goes out of.
struct InterfaceChoice {
    std::vector<NetworkInterface> chosen;
    std::vector<LeftOutInterface> leftOut;
    // wanted named interfaces, and none of them can carry a broadcast.
    bool wantedNoneUsable = false;
};

// Chooses from all the interfaces that are up, running, broadcast-capable, not loopback and have
// an IPv4 address; wanted (names separated by commas or blanks, empty for every interface)
// narrows the choice to the interfaces it names, ignoring names no interface has. Each interface
// left out is listed with why, and gets a trace line saying so.
InterfaceChoice ChooseInterfaces(const std::vector<NetworkInterface>& all, std::string_view wanted,
                                 const Trace& trace);

}  // namespace varl
