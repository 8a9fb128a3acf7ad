#include "unit_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sim {
namespace {

const auto kRowName = [](const auto& info) { return std::string(info.param.name); };

UnitTable MustParse(std::string_view text) {
    std::string error;
    auto table = ParseUnitTable(text, error);
    EXPECT_TRUE(table.has_value()) << error;
    return table.value_or(UnitTable{});
}

TEST(UnitTable, ReadsUnitsWithOptionsCommentsAndBlankLines) {
    UnitTable table = MustParse(
        "# two units\n"
        "\n"
        "unit 1A2B3 0 10.77.0.10 255.255.255.0 10.77.0.1 QX-100\r\n"
        "unit 2b3 1 10.77.0.11 255.255.0.0 10.77.0.1 QX-200 delay=30 jitter=5 twice link=lab3\n");
    ASSERT_EQ(table.units.size(), 2u);
    EXPECT_EQ(table.units[0].serial, 0x1A2B3u);
    EXPECT_EQ(table.units[0].address, 0x0A4D000Au);
    EXPECT_EQ(table.units[0].netMask, 0xFFFFFF00u);
    EXPECT_EQ(table.units[0].chipName, "QX-100");
    EXPECT_FALSE(table.units[0].answersTwice);
    EXPECT_EQ(table.units[0].link, "");
    EXPECT_EQ(table.units[1].serial, 0x2B3u);
    EXPECT_EQ(table.units[1].link, "lab3");
    EXPECT_EQ(table.units[1].delayMs, 30);
    EXPECT_EQ(table.units[1].jitterMs, 5);
    EXPECT_TRUE(table.units[1].answersTwice);
}

TEST(UnitTable, ReadsExtraDatagrams) {
    UnitTable table = MustParse(
        "raw delay=40 1A2B3 0  padded  \n"
        "raw \n"
        "oversize 300 delay=7\n"
        "empty\n");
    ASSERT_EQ(table.extras.size(), 4u);
    EXPECT_EQ(table.extras[0].bytes, "1A2B3 0  padded  ");
    EXPECT_EQ(table.extras[0].delayMs, 40);
    EXPECT_EQ(table.extras[1].bytes, "");
    EXPECT_EQ(table.extras[2].bytes, std::string(300, 'X'));
    EXPECT_EQ(table.extras[2].delayMs, 7);
    EXPECT_EQ(table.extras[3].bytes, "");
}

struct MalformedRow {
    const char* name;
    const char* line;
};

class MalformedLineTest : public ::testing::TestWithParam<MalformedRow> {};

TEST_P(MalformedLineTest, IsRefusedNamingTheLine) {
    std::string error;
    EXPECT_FALSE(ParseUnitTable(std::string("# first\n") + GetParam().line, error).has_value());
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
}

INSTANTIATE_TEST_SUITE_P(Rows, MalformedLineTest,
                         ::testing::Values(MalformedRow{"six_hex_digits", "unit 123456 0 1.2.3.4 1.2.3.4 1.2.3.4 C"},
                                           MalformedRow{"missing_chip", "unit 1 0 1.2.3.4 1.2.3.4 1.2.3.4"},
                                           MalformedRow{"two_digit_dhcp", "unit 1 10 1.2.3.4 1.2.3.4 1.2.3.4 C"},
                                           MalformedRow{"octet_above_255", "unit 1 0 1.2.3.256 1.2.3.4 1.2.3.4 C"},
                                           MalformedRow{"three_octets", "unit 1 0 1.2.3 1.2.3.4 1.2.3.4 C"},
                                           MalformedRow{"unknown_option", "unit 1 0 1.2.3.4 1.2.3.4 1.2.3.4 C slow"},
                                           MalformedRow{"link_without_name", "unit 1 0 1.2.3.4 1.2.3.4 1.2.3.4 C link="},
                                           MalformedRow{"negative_delay", "empty delay=-1"},
                                           MalformedRow{"unknown_entry", "units 1"}),
                         kRowName);

TEST(UnitReply, IsSerialDhcpAddressesAndChipWithOneBlankBetween) {
    UnitTable table = MustParse("unit 00a1f 1 192.168.0.10 255.255.255.0 192.168.0.1 QX-100\n");
    EXPECT_EQ(FormatReply(table.units[0]), "A1F 1 192.168.0.10 255.255.255.0 192.168.0.1 QX-100");
}

TEST(SetConfig, StaticFormChangesModeAndAddressesOfTheNamedUnitOnly) {
    UnitTable table = MustParse(
        "unit 1A2B3 1 10.0.0.1 255.0.0.0 10.0.0.254 A\n"
        "unit 2B3 1 10.0.0.2 255.0.0.0 10.0.0.254 B\n");
    SimulatedUnit* changed = ApplySetConfig(table, "1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1");
    ASSERT_EQ(changed, &table.units[0]);
    EXPECT_EQ(FormatReply(table.units[0]), "1A2B3 0 192.168.0.10 255.255.255.0 192.168.0.1 A");
    EXPECT_EQ(FormatReply(table.units[1]), "2B3 1 10.0.0.2 255.0.0.0 10.0.0.254 B");
}

TEST(SetConfig, ReachesOnlyAUnitThatHearsTheLinkItCameIn) {
    UnitTable table = MustParse(
        "unit 1A2B3 1 10.0.0.1 255.0.0.0 10.0.0.254 A link=lab3\n"
        "unit 2B3 1 10.0.0.2 255.0.0.0 10.0.0.254 B\n");
    EXPECT_EQ(ApplySetConfig(table, "1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1", "lab1"), nullptr);
    EXPECT_EQ(ApplySetConfig(table, "1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1", "lab3"), &table.units[0]);
    EXPECT_EQ(ApplySetConfig(table, "2B3 5 0 192.168.0.11 255.255.255.0 192.168.0.1", "lab1"), &table.units[1])
        << "a unit without a link hears every link";
}

struct MessageRow {
    const char* name;
    const char* message;
};

class DhcpSetConfigTest : public ::testing::TestWithParam<MessageRow> {};

TEST_P(DhcpSetConfigTest, KeepsAddressesAndTakesAnyNonZeroDigitAsOn) {
    UnitTable table = MustParse("unit 2B3 0 10.0.0.2 255.0.0.0 10.0.0.254 B\n");
    ASSERT_NE(ApplySetConfig(table, GetParam().message), nullptr);
    EXPECT_EQ(FormatReply(table.units[0]), "2B3 1 10.0.0.2 255.0.0.0 10.0.0.254 B");
}

INSTANTIATE_TEST_SUITE_P(Rows, DhcpSetConfigTest,
                         ::testing::Values(MessageRow{"one", "002B3 5 1    "}, MessageRow{"255", "002B3 5 255    "}),
                         kRowName);

class IgnoredSetConfigTest : public ::testing::TestWithParam<MessageRow> {};

TEST_P(IgnoredSetConfigTest, LeavesTheUnit) {
    UnitTable table = MustParse("unit 1A2B3 1 10.0.0.1 255.0.0.0 10.0.0.254 A\n");
    EXPECT_EQ(ApplySetConfig(table, GetParam().message), nullptr);
    EXPECT_EQ(FormatReply(table.units[0]), "1A2B3 1 10.0.0.1 255.0.0.0 10.0.0.254 A");
}

class IgnoreSetUnitTest : public ::testing::TestWithParam<MessageRow> {};

TEST_P(IgnoreSetUnitTest, KeepsItsAddressing) {
    UnitTable table = MustParse("unit 1A2B3 0 10.0.0.1 255.0.0.0 10.0.0.254 A ignore-set\n");
    EXPECT_EQ(ApplySetConfig(table, GetParam().message), nullptr);
    EXPECT_EQ(FormatReply(table.units[0]), "1A2B3 0 10.0.0.1 255.0.0.0 10.0.0.254 A");
}

INSTANTIATE_TEST_SUITE_P(Rows, IgnoreSetUnitTest,
                         ::testing::Values(MessageRow{"dhcp_form", "1A2B3 5 1    "},
                                           MessageRow{"static_form",
                                                      "1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1"}),
                         kRowName);

INSTANTIATE_TEST_SUITE_P(Rows, IgnoredSetConfigTest,
                         ::testing::Values(MessageRow{"discovery_request", "0 1"},
                                           MessageRow{"another_serial", "1A2B4 5 1    "},
                                           MessageRow{"another_message_code", "1A2B3 4 1    "},
                                           MessageRow{"static_form_cut_short", "1A2B3 5 0 10.0.0.1 255.0.0.0"},
                                           MessageRow{"octet_out_of_range", "1A2B3 5 0 10.0.0.1 255.0.0.0 10.0.0.300"},
                                           MessageRow{"empty", ""}),
                         kRowName);

}  // namespace
}  // namespace sim
