// Options every sub-command takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery.h"

namespace quorrel::cli {

struct CommonOptions {
    // How long each discovery listens for answers.
    std::uint32_t timeoutMs = kDiscoveryTimeoutMs;
    // The network interfaces the library may broadcast on; none given means every interface.
    std::vector<std::string> interfaces;
    // The library traces every datagram and every FTP command and reply on standard error.
    bool verbose = false;
};

}  // namespace quorrel::cli
