#include "messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "device_record_testing.h"

namespace varl {
namespace {

using testing::FilledRecord;
using testing::MakeRecord;

TEST(DiscoverRequest, IsTheThreeBytesZeroBlankOne) {
    EXPECT_EQ(std::string(kDiscoverRequest), std::string("\x30\x20\x31"));
}

struct SetConfigRow {
    const char* name;
    DeviceRecord record;
    std::string message;
};

DeviceRecord WithDhcp(DeviceRecord record, uint8_t dhcpMode) {
    record.dhcpMode = dhcpMode;
    return record;
}

DeviceRecord WithNoise(DeviceRecord record) {
    record.padding[0] = 0xAA;
    record.padding[2] = 0x55;
    std::memcpy(record.chipName, "QX-100", 7);
    return record;
}

class FormatSetConfigTest : public ::testing::TestWithParam<SetConfigRow> {};

TEST_P(FormatSetConfigTest, WritesTheMessageWithItsZero) {
    MessageBuffer buffer;
    buffer.fill('#');
    const std::size_t length = FormatSetConfig(buffer, GetParam().record);
    ASSERT_EQ(length, GetParam().message.size());
    EXPECT_EQ(std::string(buffer.data(), length), GetParam().message);
    EXPECT_EQ(buffer[length], '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatSetConfigTest,
    ::testing::Values(
        SetConfigRow{"dhcp_thirteen_bytes", MakeRecord(0x1A2B3, 1, 0, 0, 0, ""),
                     "\x31\x41\x32\x42\x33\x20\x35\x20\x31\x20\x20\x20\x20"},
        SetConfigRow{"dhcp_short_serial_zero_padded", MakeRecord(0x12A, 1, 0, 0, 0, ""), "0012A 5 1    "},
        SetConfigRow{"dhcp_ignores_addresses",
                     MakeRecord(0x1A2B3, 1, 0xC0A8000Au, 0xFFFFFF00u, 0xC0A80001u, ""), "1A2B3 5 1    "},
        SetConfigRow{"dhcp_mode_255", MakeRecord(0x12A, 255, 0, 0, 0, ""), "0012A 5 255    "},
        SetConfigRow{"dhcp_any_digit", MakeRecord(0xFFFFF, 7, 0, 0, 0, ""), "FFFFF 5 7    "},
        SetConfigRow{"static", MakeRecord(0x1A2B3, 0, 0xC0A8000Au, 0xFFFFFF00u, 0xC0A80001u, ""),
                     "1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1"},
        SetConfigRow{"static_longest",
                     MakeRecord(0xFFFFF, 0, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, ""),
                     "FFFFF 5 0 255.255.255.255 255.255.255.255 255.255.255.255"},
        SetConfigRow{"static_all_zero", MakeRecord(0, 0, 0, 0, 0, ""), "00000 5 0 0.0.0.0 0.0.0.0 0.0.0.0"},
        SetConfigRow{"static_serial_beyond_five_digits", MakeRecord(0x123456, 0, 0x0A000001u, 0, 0, ""),
                     "123456 5 0 10.0.0.1 0.0.0.0 0.0.0.0"},
        SetConfigRow{"padding_and_chip_name_never_sent",
                     WithNoise(MakeRecord(0x1A2B3, 0, 0x0A4D000Au, 0xFFFF0000u, 0x0A4D0001u, "")),
                     "1A2B3 5 0 10.77.0.10 255.255.0.0 10.77.0.1"},
        SetConfigRow{"only_the_8_bit_mode_is_read",
                     WithNoise(WithDhcp(MakeRecord(0x2B3, 0, 0x01020304u, 0, 0, ""), 0)),
                     "002B3 5 0 1.2.3.4 0.0.0.0 0.0.0.0"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReplyRow {
    const char* name;
    std::string datagram;
    bool isUnit;
    DeviceRecord record;
};

class ParseDeviceReplyTest : public ::testing::TestWithParam<ReplyRow> {};

TEST_P(ParseDeviceReplyTest, FillsAZeroedRecord) {
    // The datagram's bytes alone, in their own allocation, so reading past them is caught.
    const std::string& datagram = GetParam().datagram;
    auto bytes = std::make_unique<char[]>(datagram.size() + 1);
    std::memcpy(bytes.get(), datagram.data(), datagram.size());
    // A stale reply beyond the datagram, as the reused receive buffer would hold.
    bytes[datagram.size()] = '7';

    DeviceRecord record = FilledRecord(0xA5);
    EXPECT_EQ(ParseDeviceReply(std::string_view(bytes.get(), datagram.size()), record), GetParam().isUnit);
    EXPECT_EQ(record, GetParam().record);
}

const std::string kChip19 = "ABCDEFGHIJKLMNOPQRS";

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseDeviceReplyTest,
    ::testing::Values(
        ReplyRow{"full", "1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100", true,
                 MakeRecord(0x1A2B3, 0, 0x0A4D000Au, 0xFFFF0000u, 0x0A4D0001u, "QX-100")},
        ReplyRow{"dhcp_on_padding_zero", "1B3C4 1 10.77.0.11 255.255.0.0 10.77.0.1 QX-200", true,
                 MakeRecord(0x1B3C4, 1, 0x0A4D000Bu, 0xFFFF0000u, 0x0A4D0001u, "QX-200")},
        ReplyRow{"any_digit_in_dhcp_field", "2B3 9 1.2.3.4 255.0.0.0 1.2.3.1 C", true,
                 MakeRecord(0x2B3, 9, 0x01020304u, 0xFF000000u, 0x01020301u, "C")},
        ReplyRow{"lower_case_serial", "1a2b3 0 1.2.3.4 255.0.0.0 1.2.3.1 C", true,
                 MakeRecord(0x1A2B3, 0, 0x01020304u, 0xFF000000u, 0x01020301u, "C")},
        ReplyRow{"any_white_space", " \t1A2B3\r\n1  1.2.3.4\v255.0.0.0\f1.2.3.1   C\n", true,
                 MakeRecord(0x1A2B3, 1, 0x01020304u, 0xFF000000u, 0x01020301u, "C")},
        ReplyRow{"no_chip_name", "1A2B3 0 1.2.3.4 255.0.0.0 1.2.3.1", true,
                 MakeRecord(0x1A2B3, 0, 0x01020304u, 0xFF000000u, 0x01020301u, "")},
        ReplyRow{"chip_name_of_19_kept", "1 0 1.2.3.4 255.0.0.0 1.2.3.1 " + kChip19, true,
                 MakeRecord(1, 0, 0x01020304u, 0xFF000000u, 0x01020301u, kChip19)},
        ReplyRow{"chip_name_of_25_cut_to_19", "1 0 1.2.3.4 255.0.0.0 1.2.3.1 " + kChip19 + "TUVWXY", true,
                 MakeRecord(1, 0, 0x01020304u, 0xFF000000u, 0x01020301u, kChip19)},
        ReplyRow{"chip_name_ends_at_blank", "1 0 1.2.3.4 255.0.0.0 1.2.3.1 QX-100 rev B", true,
                 MakeRecord(1, 0, 0x01020304u, 0xFF000000u, 0x01020301u, "QX-100")},
        ReplyRow{"address_of_16_cut_after_15", "1A2B3 0 192.168.100.1001 255.0.0.0 1.1.1.1 C", true,
                 MakeRecord(0x1A2B3, 0, 0xC0A86464u, 0, 0xFF000000u, "1.1.1.1")},
        ReplyRow{"serial_of_6_cut_after_5", "123456 10.0.0.1 255.0.0.0 10.0.0.254 X", true,
                 MakeRecord(0x12345, 6, 0x0A000001u, 0xFF000000u, 0x0A0000FEu, "X")},
        ReplyRow{"rejected_address_stores_zero", "1A2B3 0 10.0.0.x 255.0.0.0 10.0.0.1 C", true,
                 MakeRecord(0x1A2B3, 0, 0, 0xFF000000u, 0x0A000001u, "C")},
        ReplyRow{"ends_after_serial", "2B3", true, MakeRecord(0x2B3, 0, 0, 0, 0, "")},
        ReplyRow{"ends_after_address", "2B3 1 10.0.0.1", true, MakeRecord(0x2B3, 1, 0x0A000001u, 0, 0, "")},
        ReplyRow{"dhcp_field_not_a_digit_stops", "2B3 x 1.2.3.4 255.0.0.0 1.2.3.1 C", true,
                 MakeRecord(0x2B3, 0, 0, 0, 0, "")},
        ReplyRow{"zero_byte_ends_the_reply", std::string("2B3 0 1.2.3.4\0 255.0.0.0 1.2.3.1 C", 34), true,
                 MakeRecord(0x2B3, 0, 0x01020304u, 0, 0, "")},
        ReplyRow{"zero_bytes_is_no_unit", "", false, MakeRecord(0, 0, 0, 0, 0, "")},
        ReplyRow{"blanks_are_no_unit", "   \n", false, MakeRecord(0, 0, 0, 0, 0, "")},
        ReplyRow{"garbage_is_no_unit", "hello 0 1.2.3.4 255.0.0.0 1.2.3.1 C", false, MakeRecord(0, 0, 0, 0, 0, "")},
        ReplyRow{"sign_is_no_serial", "-1 0 1.2.3.4 255.0.0.0 1.2.3.1 C", false, MakeRecord(0, 0, 0, 0, 0, "")},
        ReplyRow{"leading_zero_byte_is_no_unit", std::string("\0" "1A2B3 0 1.2.3.4", 16), false,
                 MakeRecord(0, 0, 0, 0, 0, "")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varl
