// quorrel discover: every unit that answers, sorted by serial.
#pragma once

#include "command.h"
#include "unit_formats.h"

namespace quorrel::cli {

struct DiscoverOptions {
    OutputFormat format = OutputFormat::Table;
};

void DefineDiscoverCommand(CLI::App& program, Invocation& invocation);

int RunDiscover(const LibraryExports& library, const CommonOptions& common, const DiscoverOptions& options,
                const Console& console);

}  // namespace quorrel::cli
