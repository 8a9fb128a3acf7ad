// Any text is either read into ranges of at most a /16 each, or refused naming an entry of its
// own; an address read back from its dotted text is the same address.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "dotted_quad.h"
#include "target_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto bytes = std::make_unique<char[]>(size == 0 ? 1 : size);
    std::memcpy(bytes.get(), data, size);
    const std::string_view text(bytes.get(), size);

    const varl::TargetList list = varl::ParseTargetList(text);
    if (!list.ok()) {
        if (!list.ranges.empty() || list.badEntry.empty()) std::abort();
        if (list.badEntry.data() < text.data() || list.badEntry.data() + list.badEntry.size() > text.data() + size) {
            std::abort();
        }
        return 0;
    }
    for (const varl::TargetRange& range : list.ranges) {
        if (range.first > range.last || range.last - range.first > 0xFFFF) std::abort();
        const varl::TargetList again = varl::ParseTargetList(varl::FormatDottedQuad(range.first));
        if (!again.ok() || again.ranges.size() != 1 || again.ranges[0].first != range.first) std::abort();
    }
    return 0;
}
