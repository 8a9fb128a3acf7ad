// The library's last-error text, one for each thread: a failure is read by the thread whose call
// failed, whatever calls of other threads fail or fetch meanwhile. It lives in a fixed array, so
// that writing it never allocates.
#pragma once

#include "status.h"

namespace varl {

// Replaces the calling thread's text whole with the failure's; a failure never appends to an
// earlier one. The export guard is its one caller.
void SaveError(const Status& failure) noexcept;

// Copies the calling thread's text with its NUL into buffer, then empties it. A null buffer does
// nothing.
void TakeLastErrorText(char* buffer) noexcept;

}  // namespace varl
