#include "call_failure.h"

#include <array>
#include <cstring>

#include "shown_texts.h"

namespace quorrel {

CallFailure FailureFromLibrary(const LibraryExports& library) {
    const LastErrorFunction lastError = library.LastError();
    if (lastError == nullptr) return {"", true};
    std::array<char, kErrorTextBufferSize> buffer{};
    lastError(buffer.data());
    return {std::string(buffer.data(), strnlen(buffer.data(), buffer.size())), false};
}

CallFailure DriverInterfaceError() { return {texts::kDriverInterfaceError, false}; }

}  // namespace quorrel
