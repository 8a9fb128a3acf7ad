// Running a program of the system for what it prints, as doctor does with nft.
#pragma once

#include <string>
#include <vector>

namespace quorrel::cli {

struct ProgramOutput {
    // False when the program could not be started (not installed); errorText says why.
    bool started = false;
    // Its exit status, or -1 when a signal ended it.
    int status = -1;
    std::string out;
    std::string errorText;
};

// Runs arguments[0], found on PATH, with standard input closed, and collects both outputs.
ProgramOutput RunProgram(const std::vector<std::string>& arguments);

}  // namespace quorrel::cli
