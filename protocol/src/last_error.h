// The library's one last-error text, shared by every call in the process. It lives in a fixed
// array, so that writing it never allocates.
#pragma once

#include "status.h"

namespace varl {

// Replaces the text whole with the failure's; a failure never appends to an earlier one. The
// export guard is its one caller.
void SaveError(const Status& failure) noexcept;

// Copies the text with its NUL into buffer, then empties it. A null buffer does nothing.
void TakeLastErrorText(char* buffer) noexcept;

}  // namespace varl
