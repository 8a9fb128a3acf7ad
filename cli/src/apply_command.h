// quorrel apply: the addressing of many units from a CSV file, every row checked first, the
// changes sent together and confirmed together.
#pragma once

#include <string>

#include "command.h"

namespace quorrel::cli {

struct ApplyOptions {
    // "-" reads standard input.
    std::string file;
    // Say what would be sent; send nothing.
    bool dryRun = false;
    // Rows whose unit does not answer are passed over instead of stopping everything.
    bool skipMissing = false;
    // Send addresses that other units report, that two rows give, or that another host answers for.
    bool allowDuplicateAddress = false;
    // What became of each row's unit as JSON (UnitResultsJson) instead of a line for people.
    bool json = false;
};

void DefineApplyCommand(CLI::App& program, Invocation& invocation);

int RunApply(const LibraryExports& library, const AddressProbe& probe, const CommonOptions& common,
             const ApplyOptions& options, const Console& console);

}  // namespace quorrel::cli
