// Any text parses to some value without reading past it, and that value's own text parses back
// to it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "dotted_quad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto bytes = std::make_unique<char[]>(size == 0 ? 1 : size);
    std::memcpy(bytes.get(), data, size);

    const uint32_t value = varl::ParseDottedQuad(std::string_view(bytes.get(), size));
    const std::string text = varl::FormatDottedQuad(value);
    if (text.size() < 7 || text.size() > 15) std::abort();
    if (varl::ParseDottedQuad(text) != value) std::abort();
    return 0;
}
