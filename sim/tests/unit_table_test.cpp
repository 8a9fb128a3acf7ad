#include "unit_table.h"

#include <gtest/gtest.h>

#include "datagram_log.h"

namespace sim {
namespace {

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
        "unit 2b3 1 10.77.0.11 255.255.0.0 10.77.0.1 QX-200 delay=30 jitter=5 twice\n");
    ASSERT_EQ(table.units.size(), 2u);
    EXPECT_EQ(table.units[0].serial, 0x1A2B3u);
    EXPECT_EQ(table.units[0].address, 0x0A4D000Au);
    EXPECT_EQ(table.units[0].netMask, 0xFFFFFF00u);
    EXPECT_EQ(table.units[0].chipName, "QX-100");
    EXPECT_FALSE(table.units[0].answersTwice);
    EXPECT_EQ(table.units[1].serial, 0x2B3u);
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

TEST(UnitTable, RefusesMalformedLinesNamingTheLine) {
    struct Case {
        const char* name;
        const char* text;
    } cases[] = {
        {"six hex digits", "unit 123456 0 1.2.3.4 1.2.3.4 1.2.3.4 C"},
        {"missing chip", "unit 1 0 1.2.3.4 1.2.3.4 1.2.3.4"},
        {"two-digit DHCP", "unit 1 10 1.2.3.4 1.2.3.4 1.2.3.4 C"},
        {"octet above 255", "unit 1 0 1.2.3.256 1.2.3.4 1.2.3.4 C"},
        {"three octets", "unit 1 0 1.2.3 1.2.3.4 1.2.3.4 C"},
        {"unknown option", "unit 1 0 1.2.3.4 1.2.3.4 1.2.3.4 C slow"},
        {"negative delay", "empty delay=-1"},
        {"unknown entry", "units 1"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseUnitTable(std::string("# first\n") + c.text, error).has_value()) << c.name;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << c.name << ": " << error;
    }
}

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

TEST(SetConfig, DhcpFormKeepsAddressesAndTakesAnyNonZeroDigitAsOn) {
    for (const char* message : {"002B3 5 1    ", "002B3 5 255    "}) {
        UnitTable table = MustParse("unit 2B3 0 10.0.0.2 255.0.0.0 10.0.0.254 B\n");
        ASSERT_NE(ApplySetConfig(table, message), nullptr) << message;
        EXPECT_EQ(FormatReply(table.units[0]), "2B3 1 10.0.0.2 255.0.0.0 10.0.0.254 B") << message;
    }
}

TEST(SetConfig, UnitThatIgnoresSetConfigKeepsItsAddressing) {
    for (const char* message : {"1A2B3 5 1    ", "1A2B3 5 0 192.168.0.10 255.255.255.0 192.168.0.1"}) {
        UnitTable table = MustParse("unit 1A2B3 0 10.0.0.1 255.0.0.0 10.0.0.254 A ignore-set\n");
        EXPECT_EQ(ApplySetConfig(table, message), nullptr) << message;
        EXPECT_EQ(FormatReply(table.units[0]), "1A2B3 0 10.0.0.1 255.0.0.0 10.0.0.254 A") << message;
    }
}

TEST(SetConfig, IgnoresOtherSerialsAndOtherMessages) {
    const char* messages[] = {
        "0 1",                                             // a discovery request
        "1A2B4 5 1    ",                                   // another serial
        "1A2B3 4 1    ",                                   // another message code
        "1A2B3 5 0 10.0.0.1 255.0.0.0",                    // static form cut short
        "1A2B3 5 0 10.0.0.1 255.0.0.0 10.0.0.300",         // octet out of range
        "",
    };
    for (const char* message : messages) {
        UnitTable table = MustParse("unit 1A2B3 1 10.0.0.1 255.0.0.0 10.0.0.254 A\n");
        EXPECT_EQ(ApplySetConfig(table, message), nullptr) << message;
        EXPECT_EQ(FormatReply(table.units[0]), "1A2B3 1 10.0.0.1 255.0.0.0 10.0.0.254 A") << message;
    }
}

TEST(DatagramLog, LineHoldsExactBytesInHex) {
    EXPECT_EQ(FormatLogLine("T", "10.77.0.1:5000", std::string_view("0 1", 3)), "T 10.77.0.1:5000 3 302031");
    EXPECT_EQ(FormatLogLine("T", "10.77.0.1:5000", std::string_view("\0\xff\n", 3)), "T 10.77.0.1:5000 3 00ff0a");
    EXPECT_EQ(FormatLogLine("T", "10.77.0.1:5000", ""), "T 10.77.0.1:5000 0 ");
}

}  // namespace
}  // namespace sim
