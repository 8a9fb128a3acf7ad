// The trace an administrator turns on to find out why a unit does not show up: with VARL_TRACE
// set, one line on standard error for each datagram sent and received and for each interface left
// out. Off, it formats and writes nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varl {

class Trace {
public:
    // Off.
    Trace() = default;
    // On, writing to descriptor.
    explicit Trace(int descriptor) : descriptor_(descriptor) {}

    // On, writing to standard error, when VARL_TRACE is set to anything but the empty text or "0".
    static Trace FromEnvironment();

    bool on() const noexcept { return descriptor_ >= 0; }

    // Writes "varl: " and the formatted text as one line; nothing when off.
    void Line(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    // "varl: received LENGTH bytes from ADDRESS:PORT: "TEXT"", the text with the quote, the
    // backslash and every byte outside printable ASCII escaped (\xNN).
    void Received(uint32_t address, uint16_t port, const char* bytes, std::size_t length) const;

    // "varl: LABEL "TEXT"", the text escaped as Received escapes it.
    void Quoted(const char* label, const char* bytes, std::size_t length) const;

private:
    int descriptor_ = -1;
};

}  // namespace varl
