// quorrel: the command-line tool for finding, configuring and loading files onto Quorrel units.
#include <unistd.h>

#include <iostream>

#include "arp_probe.h"
#include "command_line.h"
#include "exit_status.h"
#include "linked_exports.h"

int main(int argc, char** argv) {
    const quorrel::cli::LinkedExports library;
    const quorrel::cli::ArpProbe probe;
    const quorrel::cli::Console console{std::cin, std::cout, std::cerr,
                                        isatty(STDOUT_FILENO) == 1 && isatty(STDERR_FILENO) == 1};
    int status = quorrel::cli::RunQuorrel(argc, argv, library, probe, quorrel::cli::LinkedLibraryVersion, console);
    // Output a script reads must not be lost silently (a full disk, a closed pipe).
    if (!std::cout.flush()) {
        console.Error("could not write standard output");
        if (status == quorrel::cli::kExitDone) status = quorrel::cli::kExitFailed;
    }
    return status;
}
