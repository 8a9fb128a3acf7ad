// The library's one last-error text, shared by every call in the process.
#pragma once

#include <string>
#include <string_view>

namespace varl {

// Replaces the text whole; a failure never appends to an earlier one.
void SetLastErrorText(std::string_view text);
void ClearLastErrorText();
const std::string& LastErrorText();

// Copies the text with its NUL into buffer, then empties it. A null buffer does nothing.
void TakeLastErrorText(char* buffer);

}  // namespace varl
