// Why a command that calls the library did not succeed, in the words the user is shown, and the
// library's own error text, fetched once after a failed call.
#pragma once

#include <cstddef>
#include <string>

#include "library_exports.h"

namespace quorrel {

struct CallFailure {
    // For the failure box: one of the programs' own texts, or the library's.
    std::string text;
    // The library's text could not be fetched because it does not export VARL_Error_LastErr;
    // parbex then first says so in a plain box (texts::kNoLastErrorExport).
    bool lastErrorExportMissing = false;

    bool operator==(const CallFailure&) const = default;
};

// The buffer handed to VARL_Error_LastErr, which takes no length; the library's texts are at most
// 76 characters and their NUL.
inline constexpr std::size_t kErrorTextBufferSize = 500;

// The failure of a call that returned false: the library's last-error text, which fetching
// empties in the library. A text that fills the whole buffer without its NUL is read no further.
CallFailure FailureFromLibrary(const LibraryExports& library);

// An export the library should have but does not: "Driver interface error.".
CallFailure DriverInterfaceError();

}  // namespace quorrel
