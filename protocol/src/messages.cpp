#include "messages.h"

#include <cstdio>

#include "dotted_quad.h"

namespace varl {
namespace {

// Widths of the reply's fields, from its scanf format "%5X %1d %15s %15s %15s %s".
constexpr std::size_t kSerialWidth = 5;
constexpr std::size_t kAddressWidth = 15;
constexpr std::size_t kChipNameLength = sizeof(DeviceRecord::chipName) - 1;

// The white space that scanf skips in the C locale.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a reply's fields the way the scanf conversions would, without ever looking past the
// datagram's bytes.
class ReplyScanner {
public:
    explicit ReplyScanner(std::string_view text) : text_(text) {}

    // "%<width>X": up to width hexadecimal digits, either case.
    bool Hex(std::size_t width, uint32_t& value) {
        SkipSpace();
        std::size_t digits = 0;
        uint32_t result = 0;
        while (digits < width && pos_ < text_.size() && HexValue(text_[pos_]) >= 0) {
            result = result * 16 + static_cast<uint32_t>(HexValue(text_[pos_]));
            ++pos_;
            ++digits;
        }
        if (digits == 0) return false;
        value = result;
        return true;
    }

    // "%1d": one decimal digit.
    bool Digit(uint8_t& value) {
        SkipSpace();
        if (pos_ >= text_.size() || !IsDecimal(text_[pos_])) return false;
        value = static_cast<uint8_t>(text_[pos_] - '0');
        ++pos_;
        return true;
    }

    // "%<width>s": 1 to width non-blank characters; width 0 means no limit.
    bool Word(std::size_t width, std::string_view& word) {
        SkipSpace();
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_]) && (width == 0 || pos_ - start < width)) {
            ++pos_;
        }
        if (pos_ == start) return false;
        word = text_.substr(start, pos_ - start);
        return true;
    }

private:
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

bool ParseDeviceReply(std::string_view datagram, DeviceRecord& record) {
    record = DeviceRecord{};

    // A reply is read as a C text would be: it ends at its first zero byte.
    const std::size_t zero = datagram.find('\0');
    if (zero != std::string_view::npos) datagram = datagram.substr(0, zero);

    ReplyScanner scanner(datagram);
    if (!scanner.Hex(kSerialWidth, record.serial)) return false;

    std::string_view address, netMask, gateway, chipName;
    // Conversion stops at the first field that does not convert; the rest stay empty.
    scanner.Digit(record.dhcpMode) && scanner.Word(kAddressWidth, address) &&
        scanner.Word(kAddressWidth, netMask) && scanner.Word(kAddressWidth, gateway) &&
        scanner.Word(0, chipName);

    const std::size_t chipLength = chipName.copy(record.chipName, kChipNameLength);
    record.chipName[chipLength] = '\0';

    record.address = ParseDottedQuad(address);
    record.netMask = ParseDottedQuad(netMask);
    record.gateway = ParseDottedQuad(gateway);
    return true;
}

std::size_t FormatSetConfig(MessageBuffer& buffer, const DeviceRecord& record) {
    const auto octet = [](uint32_t value, int k) { return static_cast<int>((value >> (32 - 8 * k)) & 255); };
    int length;
    if (record.dhcpMode != 0) {
        length = std::snprintf(buffer.data(), buffer.size(), "%05X 5 %1.1d    ", record.serial,
                               static_cast<int>(record.dhcpMode));
    } else {
        length = std::snprintf(buffer.data(), buffer.size(),
                               "%05X 5 %1.1d %01d.%01d.%01d.%01d %01d.%01d.%01d.%01d %01d.%01d.%01d.%01d",
                               record.serial, 0,
                               octet(record.address, 1), octet(record.address, 2),
                               octet(record.address, 3), octet(record.address, 4),
                               octet(record.netMask, 1), octet(record.netMask, 2),
                               octet(record.netMask, 3), octet(record.netMask, 4),
                               octet(record.gateway, 1), octet(record.gateway, 2),
                               octet(record.gateway, 3), octet(record.gateway, 4));
    }
    // The longest message, an eight-digit serial in the static form, is 60 characters.
    return static_cast<std::size_t>(length);
}

}  // namespace varl
