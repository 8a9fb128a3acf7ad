#include "trace.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dotted_quad.h"

namespace varl {
namespace {

// A trace line: "varl: " and a received datagram of up to 200 bytes, each escaped to 4 characters.
constexpr std::size_t kLineSize = 1024;

void WriteLine(int descriptor, char* line, std::size_t length) {
    length = length < kLineSize - 1 ? length : kLineSize - 2;
    line[length++] = '\n';
    // One write per line, so lines of several processes sharing standard error do not interleave.
    while (length > 0) {
        const ssize_t written = ::write(descriptor, line, length);
        if (written <= 0) return;
        line += written;
        length -= static_cast<std::size_t>(written);
    }
}

}  // namespace

Trace Trace::FromEnvironment() {
    const char* value = std::getenv("VARL_TRACE");
    if (value == nullptr || *value == '\0' || std::strcmp(value, "0") == 0) return Trace();
    return Trace(STDERR_FILENO);
}

void Trace::Line(const char* format, ...) const {
    if (!on()) return;
    char line[kLineSize];
    int length = std::snprintf(line, sizeof line, "varl: ");
    va_list arguments;
    va_start(arguments, format);
    const int rest = std::vsnprintf(line + length, sizeof line - static_cast<std::size_t>(length), format, arguments);
    va_end(arguments);
    if (rest > 0) length += rest;
    WriteLine(descriptor_, line, static_cast<std::size_t>(length));
}

void Trace::Received(uint32_t address, uint16_t port, const char* bytes, std::size_t length) const {
    if (!on()) return;
    char label[64];
    std::snprintf(label, sizeof label, "received %zu bytes from %s:%u:", length, AddressText(address).text, port);
    Quoted(label, bytes, length);
}

void Trace::Quoted(const char* label, const char* bytes, std::size_t length) const {
    if (!on()) return;
    char line[kLineSize];
    std::size_t at = static_cast<std::size_t>(std::snprintf(line, sizeof line, "varl: %s \"", label));
    at = at < sizeof line ? at : sizeof line - 1;
    for (std::size_t i = 0; i < length && at + 6 < sizeof line; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '"' || byte == '\\') {
            line[at++] = '\\';
            line[at++] = static_cast<char>(byte);
        } else if (byte >= 0x20 && byte < 0x7F) {
            line[at++] = static_cast<char>(byte);
        } else {
            at += static_cast<std::size_t>(std::snprintf(line + at, sizeof line - at, "\\x%02X", byte));
        }
    }
    line[at++] = '"';
    WriteLine(descriptor_, line, at);
}

}  // namespace varl
