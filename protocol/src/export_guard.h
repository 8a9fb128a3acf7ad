// Every export runs its operation inside this guard, so that no C++ exception crosses the
// library's boundary and the caller's program never ends here: anything thrown becomes a false
// result with a text. The guard is the one place that turns a failure into the last-error text,
// and that needs no memory, so running out of it inside still gives false and a text.
#pragma once

#include <new>

#include "failure_texts.h"
#include "last_error.h"
#include "status.h"
#include "varl.h"

namespace varl {

// operation returns a Status.
template <typename Operation>
VarlBool RunGuarded(Operation&& operation) noexcept {
    Status status;
    try {
        status = operation();
    } catch (const std::bad_alloc&) {
        status = Status::Failure(text::kOutOfMemory);
    } catch (...) {
        status = Status::Failure(text::kUnexpectedFailure);
    }
    if (status.ok()) return 1;
    SaveError(status);
    return 0;
}

}  // namespace varl
