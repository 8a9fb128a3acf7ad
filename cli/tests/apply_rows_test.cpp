#include "apply_rows.h"

#include <gtest/gtest.h>

namespace quorrel::cli {
namespace {

constexpr const char* kHeader = "serial,dhcp,address,mask,gateway\n";

TEST(ReadApplyRows, ReadsStaticAndDhcpRowsWhateverTheColumnOrder) {
    const ApplyRows file = ReadApplyRows(
        " Gateway ,MASK,chip,address,dhcp,serial\r\n"
        "10.77.0.1,255.255.0.0,\"QX,100\",10.77.0.20,0,1a2b3\r\n"
        ",,,, 1 ,0001F\r\n"
        "10.77.0.1,255.255.0.0,QX-200,10.77.0.12,1,2B3\r\n");
    ASSERT_FALSE(file.error.has_value()) << file.error->text;
    ASSERT_EQ(file.rows.size(), 3u);
    EXPECT_EQ(file.rows[0].line, 2);
    EXPECT_EQ(file.rows[0].serial, 0x1A2B3u);
    EXPECT_EQ(file.rows[0].wanted, Addressing::Static(0x0A4D0014u, 0xFFFF0000u, 0x0A4D0001u));
    for (const std::size_t dhcpRow : {1u, 2u}) {
        EXPECT_EQ(file.rows[dhcpRow].wanted, Addressing::Dhcp()) << "addresses of a DHCP row are not sent";
    }
    EXPECT_EQ(file.rows[1].serial, 0x1Fu);
    EXPECT_TRUE(file.warnings.empty());
}

TEST(ReadApplyRows, RefusesTheFirstBadLineAndKeepsNoRows) {
    struct Case {
        const char* name;
        std::string text;
        LineError expected;
    } cases[] = {
        {"empty file", "", {1, "no header: expected serial,dhcp,address,mask,gateway[,chip]"}},
        {"unknown column", "serial,dhcp,address,mask,gw\n",
         {1, "unknown column 'gw': expected the header serial,dhcp,address,mask,gateway[,chip]"}},
        {"column missing", "serial,dhcp,address,mask\n",
         {1, "no column 'gateway': expected the header serial,dhcp,address,mask,gateway[,chip]"}},
        {"column twice", "serial,dhcp,address,mask,gateway,Mask\n", {1, "column 'mask' appears twice"}},
        {"too few fields", kHeader + std::string("1A2B3,1,,\n"), {2, "4 fields where the header has 5"}},
        {"serial of six digits", kHeader + std::string("1A2B3,1,,,\n01A2B3,1,,,\n"),
         {3, "bad serial '01A2B3': expected one to five hexadecimal digits"}},
        {"serial not hexadecimal", kHeader + std::string("1A2G3,1,,,\n"),
         {2, "bad serial '1A2G3': expected one to five hexadecimal digits"}},
        {"DHCP of 2", kHeader + std::string("1A2B3,2,,,\n"), {2, "bad dhcp '2': expected 0 (static) or 1 (DHCP)"}},
        {"static row without an address", kHeader + std::string("1A2B3,0,,255.255.0.0,10.77.0.1\n"),
         {2, "bad address '': expected four numbers from 0 to 255 separated by dots"}},
        {"DHCP row with a mistyped address", kHeader + std::string("1A2B3,1,10.77.0.1o,,\n"),
         {2, "bad address '10.77.0.1o': expected four numbers from 0 to 255 separated by dots"}},
        {"mask not ones then zeros", kHeader + std::string("1A2B3,0,10.77.0.10,255.255.0.255,10.77.0.1\n"),
         {2, "bad mask '255.255.0.255': expected ones then zeros, such as 255.255.255.0"}},
        {"gateway part above 255", kHeader + std::string("1A2B3,0,10.77.0.10,255.255.0.0,10.77.0.256\n"),
         {2, "bad gateway '10.77.0.256': expected four numbers from 0 to 255 separated by dots"}},
        {"same serial twice, either case", kHeader + std::string("1A2B3,1,,,\n2B3,1,,,\n1a2b3,1,,,\n"),
         {4, "serial 1A2B3 already on line 2"}},
    };
    for (const Case& c : cases) {
        const ApplyRows file = ReadApplyRows(c.text);
        ASSERT_TRUE(file.error.has_value()) << c.name;
        EXPECT_EQ(*file.error, c.expected) << c.name;
        EXPECT_TRUE(file.rows.empty()) << c.name;
    }
}

TEST(ReadApplyRows, WarnsOfAGatewayOutsideTheSubnetAndKeepsTheRow) {
    const ApplyRows file = ReadApplyRows(kHeader + std::string("1A2B3,0,10.77.0.10,255.255.255.0,10.77.1.1\n"
                                                               "2B3,0,10.77.0.11,255.255.0.0,0.0.0.0\n"));
    ASSERT_FALSE(file.error.has_value());
    EXPECT_EQ(file.rows.size(), 2u);
    ASSERT_EQ(file.warnings.size(), 1u) << "a gateway of 0.0.0.0 is none";
    EXPECT_EQ(file.warnings[0],
              (LineError{2, "gateway 10.77.1.1 lies outside the subnet 10.77.0.0 mask 255.255.255.0 of address "
                            "10.77.0.10"}));
}

}  // namespace
}  // namespace quorrel::cli
