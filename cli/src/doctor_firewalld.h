// firewalld, asked over the system bus. libdbus is the client: firewalld itself needs the D-Bus
// daemon, whose library it is, so it is there wherever firewalld runs, with or without systemd;
// a call returns typed values and named errors, where a command's output would have to be parsed
// and each command would start a Python interpreter.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "doctor_firewall.h"

namespace quorrel::cli {

// Port and protocol, as firewalld lists a source port: {"8001", "udp"}; the port may be a range.
using FirewalldPort = std::pair<std::string, std::string>;

struct FirewalldZone {
    std::string name;
    bool isDefault = false;
    // "default", "ACCEPT", "DROP", "REJECT" or "%%REJECT%%".
    std::string target;
    std::vector<std::string> services;
    std::vector<FirewalldPort> sourcePorts;
    // The interfaces carrying the broadcast that it guards.
    std::vector<std::string> interfaces;
};

struct FirewalldState {
    std::vector<FirewalldZone> zones;
    // Each service of those zones, with its source ports.
    std::map<std::string, std::vector<FirewalldPort>> serviceSourcePorts;
    // firewalld has loaded the service "quorrel"; it reads services only when it starts or reloads.
    bool quorrelServiceLoaded = false;
    // The package's service file is in place.
    bool quorrelServiceInstalled = false;
};

FirewallFinding JudgeFirewalld(const FirewalldState& state);

// Nothing found when firewalld is not running.
FirewallLook LookAtFirewalld(const std::vector<std::string>& interfaces);

}  // namespace quorrel::cli
