// What a step inside the library reports: success, or a failure's message and, for a socket step,
// the socket error whose name the caller's text carries. It holds no allocated memory, so that a
// failure can still be reported once memory has run out.
#pragma once

#include <cstddef>

namespace varl {

class [[nodiscard]] Status {
public:
    // Success.
    constexpr Status() noexcept = default;

    // A failure read as message alone; message is one of the static texts of failure_texts.h.
    static constexpr Status Failure(const char* message) noexcept { return Status(message, false, 0); }

    // A failure read as "MESSAGE (NAME)", NAME being the socket error's Windows Sockets name.
    static constexpr Status SocketFailure(const char* message, int socketError) noexcept {
        return Status(message, true, socketError);
    }

    constexpr bool ok() const noexcept { return message_ == nullptr; }

    // Writes the caller's text with its NUL into text (size at least 1), cut to size - 1
    // characters; the empty text for success.
    void Describe(char* text, std::size_t size) const noexcept;

private:
    constexpr Status(const char* message, bool namesSocketError, int socketError) noexcept
        : message_(message), namesSocketError_(namesSocketError), socketError_(socketError) {}

    const char* message_ = nullptr;
    bool namesSocketError_ = false;
    int socketError_ = 0;
};

}  // namespace varl
