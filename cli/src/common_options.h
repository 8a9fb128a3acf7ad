// Options every command takes, before or after the command's name.
#pragma once

#include <CLI/CLI.hpp>

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
    // Addresses and ranges the library also sends discoveries and configurations to by unicast;
    // none given leaves VARL_TARGETS as the caller's environment has it.
    std::vector<std::string> targets;
    // The library traces every datagram and every FTP command and reply on standard error.
    bool verbose = false;
};

// How a command's usage line shows them.
inline constexpr const char* kCommonUsage = "[--timeout MS] [--interface NAME]... [--target ADDRESS|RANGE]... [--verbose]";

// Adds them to the program and to each command, all bound to the same options.
void AddCommonOptions(CLI::App& app, CommonOptions& common);

// quorrel asks with room for a whole site, so that one broadcast finds every unit: a second
// discovery costs a second time-out, and a unit answering only one of them would be missed.
inline constexpr std::uint32_t kSiteCapacity = 4096;

}  // namespace quorrel::cli
