// Where a command writes: output for people or for scripts on standard output, every error and
// warning on standard error, prefixed with the program's name.
#pragma once

#include <istream>
#include <ostream>
#include <string_view>

#include "call_failure.h"
#include "shown_texts.h"

namespace quorrel::cli {

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;

    void Error(std::string_view text) const { err << "quorrel: " << text << '\n'; }
    void Warning(std::string_view text) const { err << "quorrel: warning: " << text << '\n'; }
    // A failed library call, in the library's own words; where prefix is given, after it.
    void Failure(const CallFailure& failure, std::string_view prefix = {}) const {
        err << "quorrel: " << prefix << (failure.kind == FailureKind::ErrorExportMissing ? texts::kNoLastErrorExport : failure.text)
            << '\n';
    }
};

}  // namespace quorrel::cli
