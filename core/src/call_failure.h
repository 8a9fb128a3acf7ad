// Why a command that calls the library did not succeed: what kind of failure it was, and the text
// the user is shown, the library's own fetched once after a failed call.
#pragma once

#include <cstddef>
#include <string>

#include "library_exports.h"

namespace quorrel {

// Callers choose exit statuses, icons and wording from the kind alone, never from the text.
enum class FailureKind {
    // The library refused an argument (a remote name it cannot store, say): the caller's input to
    // correct. Nothing was sent.
    ArgumentRefused,
    // The network or a unit failed, or the library did inside: the same input may work later.
    NetworkOrUnit,
    // The library lacks the export the call needs: "Driver interface error.".
    ExportMissing,
    // The call failed and the library lacks VARL_Error_LastErr, so why cannot be fetched: the text
    // is empty, and a program says texts::kNoLastErrorExport.
    ErrorExportMissing,
};

struct CallFailure {
    FailureKind kind = FailureKind::NetworkOrUnit;
    // For the failure box: one of the programs' own texts, or the library's.
    std::string text;

    bool operator==(const CallFailure&) const = default;
};

// The buffer handed to VARL_Error_LastErr, which takes no length; the library's texts are at most
// 76 characters and their NUL.
inline constexpr std::size_t kErrorTextBufferSize = 500;

// The failure of a call that returned false: the library's last-error text, which fetching
// empties in the library, and its kind. A text that fills the whole buffer without its NUL is read
// no further.
CallFailure FailureFromLibrary(const LibraryExports& library);

// An export the library should have but does not: "Driver interface error.".
CallFailure DriverInterfaceError();

}  // namespace quorrel
