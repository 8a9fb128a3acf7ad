// quorrel discover: every unit that answers, sorted by serial.
#pragma once

#include "common_options.h"
#include "console.h"
#include "library_exports.h"
#include "unit_formats.h"

namespace quorrel::cli {

struct DiscoverOptions {
    OutputFormat format = OutputFormat::Table;
};

int RunDiscover(const LibraryExports& library, const CommonOptions& common, const DiscoverOptions& options,
                const Console& console);

}  // namespace quorrel::cli
