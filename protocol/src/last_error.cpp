#include "last_error.h"

#include <cstring>

#include "failure_texts.h"

namespace varl {
namespace {
// Zero before anything runs: empty at load.
char lastError[text::kLongest + 1];
}  // namespace

void SaveError(const Status& failure) noexcept { failure.Describe(lastError, sizeof lastError); }

void TakeLastErrorText(char* buffer) noexcept {
    if (buffer == nullptr) return;
    std::memcpy(buffer, lastError, std::strlen(lastError) + 1);
    lastError[0] = '\0';
}

}  // namespace varl
