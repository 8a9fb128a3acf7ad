// Where a command writes: output for people or for scripts on standard output, every error and
// warning on standard error, prefixed with the program's name.
#pragma once

#include <istream>
#include <ostream>
#include <string_view>

#include "call_failure.h"
#include "shown_texts.h"

namespace quorrel::cli {

// A failed library call in the library's own words, or the programs' text when it has none.
inline std::string_view FailureText(const CallFailure& failure) {
    if (failure.kind == FailureKind::ErrorExportMissing) return texts::kNoLastErrorExport;
    return failure.text;
}

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // Standard output and standard error are both a terminal: a line that shows progress may be
    // drawn on it.
    bool terminal = false;

    void Error(std::string_view text) const { err << "quorrel: " << text << '\n'; }
    void Warning(std::string_view text) const { err << "quorrel: warning: " << text << '\n'; }
    // A failed library call, in the library's own words; where prefix is given, after it.
    void Failure(const CallFailure& failure, std::string_view prefix = {}) const {
        err << "quorrel: " << prefix << FailureText(failure) << '\n';
    }
};

}  // namespace quorrel::cli
