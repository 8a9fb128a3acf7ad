// Any datagram, of any bytes and length up to the receive buffer, parses into a sound record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size > varl::kMessageBufferSize) return 0;
    // The datagram's bytes in an allocation of exactly their size, so a read past them is caught.
    auto bytes = std::make_unique<char[]>(size == 0 ? 1 : size);
    std::memcpy(bytes.get(), data, size);

    DeviceRecord record;
    std::memset(&record, 0xA5, sizeof record);
    const bool isUnit = varl::ParseDeviceReply(std::string_view(bytes.get(), size), record);

    if (record.serial > 0xFFFFF) std::abort();         // at most five hexadecimal digits
    if (record.dhcpMode > 9) std::abort();             // one decimal digit
    if (record.padding[0] != 0 || record.padding[1] != 0 || record.padding[2] != 0) std::abort();
    if (std::memchr(record.chipName, '\0', sizeof record.chipName) == nullptr) std::abort();
    if (!isUnit) {
        // No serial: nothing else was read either.
        const DeviceRecord zero{};
        if (std::memcmp(&record, &zero, sizeof record) != 0) std::abort();
    }
    return 0;
}
