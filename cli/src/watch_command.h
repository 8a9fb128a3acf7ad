// quorrel watch: discovers again and again and says what changed, until Ctrl-C or SIGTERM.
#pragma once

#include "command.h"

namespace quorrel::cli {

struct WatchOptions {
    // From the start of one round to the start of the next.
    double intervalSeconds = 5;
    // One JSON object per line instead of a line for people.
    bool json = false;
};

void DefineWatchCommand(CLI::App& program, Invocation& invocation);

// Ends with 0 once SIGINT or SIGTERM comes, at once, also in the middle of a discovery.
int RunWatch(const LibraryExports& library, const CommonOptions& common, const WatchOptions& options,
             const Console& console);

}  // namespace quorrel::cli
