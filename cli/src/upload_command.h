// quorrel upload: a local file stored on units named by serial or address, or on every unit,
// several at once.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "command.h"

namespace quorrel::cli {

struct UploadOptions {
    // TARGETS FILE [REMOTE-NAME], or with all FILE [REMOTE-NAME]; TARGETS separated by commas.
    std::vector<std::string> arguments;
    bool all = false;
    std::size_t jobs = 4;
    unsigned retries = 0;
    // One JSON summary on standard output instead of a line per unit.
    bool json = false;
};

void DefineUploadCommand(CLI::App& program, Invocation& invocation);

int RunUpload(const LibraryExports& library, const CommonOptions& common, const UploadOptions& options,
              const Console& console);

}  // namespace quorrel::cli
