#include "last_error.h"

#include <cstring>

namespace varl {
namespace {
// Constructed before any export can run; empty at load.
std::string& Store() {
    static std::string text;
    return text;
}
}  // namespace

void SetLastErrorText(std::string_view text) { Store().assign(text); }

void ClearLastErrorText() { Store().clear(); }

const std::string& LastErrorText() { return Store(); }

void TakeLastErrorText(char* buffer) {
    if (buffer == nullptr) return;
    const std::string& text = Store();
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    ClearLastErrorText();
}

}  // namespace varl
