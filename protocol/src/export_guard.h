// Every export runs its operation inside this guard, so that no C++ exception crosses the
// library's boundary: anything thrown becomes a false result with a text for the caller.
#pragma once

#include <exception>
#include <new>

#include "last_error.h"
#include "varl.h"

namespace varl {

template <typename Operation>
VarlBool RunGuarded(Operation&& operation) noexcept {
    try {
        return operation() ? 1 : 0;
    } catch (const std::bad_alloc&) {
        SetLastErrorText("Internal error. Out of memory.");
    } catch (...) {
        SetLastErrorText("Internal error. Unexpected failure inside the library.");
    }
    return 0;
}

}  // namespace varl
