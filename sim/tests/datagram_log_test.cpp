#include "datagram_log.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace sim {

void PrintTo(const LoggedDatagram& datagram, std::ostream* out) {
    *out << "{" << datagram.sourceAddress << " on " << datagram.link << ", " << datagram.length << " bytes, \""
         << datagram.bytes << "\"}";
}

namespace {

TEST(DatagramLog, LineHoldsExactBytesInHex) {
    EXPECT_EQ(FormatLogLine("T", "10.77.0.1:5000", "lab1", std::string_view("0 1", 3)),
              "T 10.77.0.1:5000 lab1 3 302031");
    EXPECT_EQ(FormatLogLine("T", "10.77.0.1:5000", "lab1", std::string_view("\0\xff\n", 3)),
              "T 10.77.0.1:5000 lab1 3 00ff0a");
    EXPECT_EQ(FormatLogLine("T", "10.77.0.1:5000", "lab1", ""), "T 10.77.0.1:5000 lab1 0 ");
}

struct ReadBackRow {
    const char* name;
    std::string bytes;
};

class ReadBackTest : public ::testing::TestWithParam<ReadBackRow> {};

TEST_P(ReadBackTest, GivesTheSourceAddressTheLinkAndTheBytes) {
    const std::string line =
        FormatLogLine("2024-01-02T03:04:05.000006Z", "10.77.0.1:40000", "lab3", GetParam().bytes);
    EXPECT_EQ(ParseLogLine(line), (LoggedDatagram{"10.77.0.1", GetParam().bytes.size(), GetParam().bytes, "lab3"}));
}

INSTANTIATE_TEST_SUITE_P(Rows, ReadBackTest,
                         ::testing::Values(ReadBackRow{"request", "0 1"}, ReadBackRow{"empty", ""},
                                           ReadBackRow{"four_trailing_blanks", "1B3C4 5 1    "},
                                           ReadBackRow{"every_byte_value", std::string("\0\x7f\x80\xff", 4)}),
                         [](const auto& info) { return std::string(info.param.name); });

struct MalformedRow {
    const char* name;
    const char* line;
};

class MalformedLogLineTest : public ::testing::TestWithParam<MalformedRow> {};

TEST_P(MalformedLogLineTest, IsRefused) { EXPECT_EQ(ParseLogLine(GetParam().line), std::nullopt); }

INSTANTIATE_TEST_SUITE_P(Rows, MalformedLogLineTest,
                         ::testing::Values(MalformedRow{"empty", ""},
                                           MalformedRow{"no_port", "T 10.77.0.1 lab1 3 302031"},
                                           MalformedRow{"no_link", "T 10.77.0.1:5 3 302031"},
                                           MalformedRow{"hex_one_byte_short", "T 10.77.0.1:5 lab1 3 3020"},
                                           MalformedRow{"hex_one_byte_long", "T 10.77.0.1:5 lab1 1 3020"},
                                           MalformedRow{"upper_case_hex", "T 10.77.0.1:5 lab1 1 FF"},
                                           MalformedRow{"length_not_a_number", "T 10.77.0.1:5 lab1 x 30"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sim
