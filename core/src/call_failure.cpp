#include "call_failure.h"

#include <array>
#include <cstring>
#include <string_view>

#include "shown_texts.h"

namespace quorrel {
namespace {

// The only place that reads the library's text to learn what kind of failure it was. The library
// says why a call failed in its last-error text and nowhere else, its six exports cannot grow, and
// its texts are fixed, each beginning with the name of its family: "File upload error. " and
// "Argument error. " for an argument it refused before sending anything; "Communications error. "
// for the network or a unit; "Internal error. " for its own failures, which the same input may
// well not meet again. Anything else is taken as the network's failure: a retry costs nothing
// that a script wrongly told its input was bad would not cost more.
FailureKind KindOfLibraryText(std::string_view text) {
    for (const std::string_view refusal : {"File upload error.", "Argument error."}) {
        if (text.substr(0, refusal.size()) == refusal) return FailureKind::ArgumentRefused;
    }
    return FailureKind::NetworkOrUnit;
}

}  // namespace

CallFailure FailureFromLibrary(const LibraryExports& library) {
    const LastErrorFunction lastError = library.LastError();
    if (lastError == nullptr) return {FailureKind::ErrorExportMissing, ""};
    std::array<char, kErrorTextBufferSize> buffer{};
    lastError(buffer.data());
    std::string text(buffer.data(), strnlen(buffer.data(), buffer.size()));
    const FailureKind kind = KindOfLibraryText(text);
    return {kind, std::move(text)};
}

CallFailure DriverInterfaceError() { return {FailureKind::ExportMissing, texts::kDriverInterfaceError}; }

}  // namespace quorrel
