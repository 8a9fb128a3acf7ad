#include "last_error.h"

#include <cstring>

#include "failure_texts.h"

namespace varl {
namespace {
// Zero in every thread before its first call: empty at load and in each new thread. Nothing to
// construct or destroy, so a thread's first failure runs no initialiser and its end no destructor.
// Initial-exec: the array sits in the static thread-local block that each thread gets when it is
// created, which the C library keeps room in for libraries loaded later (as parbex loads this one).
// The default model would allocate it at a thread's first failure, where running out of memory
// ends the process instead of giving false and a text.
[[gnu::tls_model("initial-exec")]] thread_local char lastError[text::kLongest + 1];
}  // namespace

void SaveError(const Status& failure) noexcept { failure.Describe(lastError, sizeof lastError); }

void TakeLastErrorText(char* buffer) noexcept {
    if (buffer == nullptr) return;
    std::memcpy(buffer, lastError, std::strlen(lastError) + 1);
    lastError[0] = '\0';
}

}  // namespace varl
