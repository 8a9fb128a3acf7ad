#include "status.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "socket_errors.h"

namespace varl {

void Status::Describe(char* text, std::size_t size) const noexcept {
    std::size_t length = 0;
    const auto append = [&](std::string_view part) {
        const std::size_t taken = std::min(part.size(), size - 1 - length);
        std::memcpy(text + length, part.data(), taken);
        length += taken;
    };
    if (message_ != nullptr) append(message_);
    if (namesSocketError_) {
        append(" (");
        append(SocketErrorName(socketError_));
        append(")");
    }
    text[length] = '\0';
}

}  // namespace varl
