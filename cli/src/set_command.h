// quorrel set: one unit's addressing, sent and confirmed; nothing sent to a unit that reports it
// already.
#pragma once

#include <optional>
#include <string>

#include "command.h"

namespace quorrel::cli {

struct SetOptions {
    std::string serial;
    bool dhcp = false;
    // ADDRESS or ADDRESS/PREFIX; exactly one of it and dhcp is given.
    std::optional<std::string> staticAddress;
    std::optional<std::string> mask;
    std::optional<std::string> gateway;
    // Say what would be sent; send nothing.
    bool dryRun = false;
    // Send without confirming.
    bool noVerify = false;
    // Send even when no unit with the serial answers.
    bool force = false;
    // Send an address that another unit reports or another host answers for.
    bool allowDuplicateAddress = false;
    // What became of the unit as JSON (UnitResultsJson) instead of its line for people.
    bool json = false;
};

void DefineSetCommand(CLI::App& program, Invocation& invocation);

int RunSet(const LibraryExports& library, const AddressProbe& probe, const CommonOptions& common,
           const SetOptions& options, const Console& console);

}  // namespace quorrel::cli
