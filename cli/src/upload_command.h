// quorrel upload: a local file stored on one unit, named by serial or address, or on every unit.
#pragma once

#include <string>
#include <vector>

#include "command.h"

namespace quorrel::cli {

struct UploadOptions {
    // TARGET FILE [REMOTE-NAME], or with all FILE [REMOTE-NAME].
    std::vector<std::string> arguments;
    bool all = false;
};

void DefineUploadCommand(CLI::App& program, Invocation& invocation);

int RunUpload(const LibraryExports& library, const CommonOptions& common, const UploadOptions& options,
              const Console& console);

}  // namespace quorrel::cli
