// The program's command line: its sub-commands and options, their help, and the exit status of a
// command line that is wrong.
#pragma once

#include <functional>
#include <string>

#include "address_probe.h"
#include "console.h"
#include "library_exports.h"

namespace quorrel::cli {

// Parses the arguments, hands the library the environment the options ask for, and runs the
// sub-command; returns the exit status. probe checks addresses before set and apply give them to
// units. libraryVersion gives the library's interface version ("1.0"), asked only for --version.
int RunQuorrel(int argc, const char* const* argv, const LibraryExports& library, const AddressProbe& probe,
               const std::function<std::string()>& libraryVersion, const Console& console);

}  // namespace quorrel::cli
