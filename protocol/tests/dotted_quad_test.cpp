#include "dotted_quad.h"

#include <gtest/gtest.h>

#include <string>

namespace varl {
namespace {

struct DottedQuadRow {
    const char* name;
    std::string text;
    uint32_t value;
};

class ParseDottedQuadTest : public ::testing::TestWithParam<DottedQuadRow> {};

TEST_P(ParseDottedQuadTest, GivesTheValue) {
    EXPECT_EQ(ParseDottedQuad(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseDottedQuadTest,
    ::testing::Values(
        DottedQuadRow{"typical", "192.168.0.10", 0xC0A8000Au},
        DottedQuadRow{"leading_zeros_read_as_decimal", "010.001.000.001", 0x0A010001u},
        DottedQuadRow{"part_above_255_carries", "1.2.3.300", 0x0102042Cu},
        DottedQuadRow{"first_part_above_255_overflows", "257.0.0.1", 0x01000001u},
        DottedQuadRow{"fourth_dot_and_rest_ignored", "1.2.3.4.5", 0x01020304u},
        DottedQuadRow{"letter_after_fourth_dot", "1.2.3.4.x", 0},
        DottedQuadRow{"all_zero", "0.0.0.0", 0},
        DottedQuadRow{"all_ones", "255.255.255.255", 0xFFFFFFFFu},
        DottedQuadRow{"empty_part_contributes_zero", "1..2.3", 0x01000203u},
        DottedQuadRow{"dot_at_end_contributes_zero", "1.2.3.", 0x01020300u},
        DottedQuadRow{"part_beyond_32_bits_wraps", "0.0.0.4294967297", 1},
        DottedQuadRow{"two_dots", "192.168.1", 0},
        DottedQuadRow{"no_dots", "19216801", 0},
        DottedQuadRow{"empty", "", 0},
        DottedQuadRow{"leading_dot", ".1.2.3", 0},
        DottedQuadRow{"blank_at_start", " 1.2.3.4", 0},
        DottedQuadRow{"blank_at_end", "1.2.3.4 ", 0},
        DottedQuadRow{"blank_inside", "1.2. 3.4", 0},
        DottedQuadRow{"letter", "1.2.3.4a", 0},
        DottedQuadRow{"sign", "+1.2.3.4", 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct FormatDottedQuadRow {
    const char* name;
    uint32_t value;
    const char* text;
};

class FormatDottedQuadTest : public ::testing::TestWithParam<FormatDottedQuadRow> {};

TEST_P(FormatDottedQuadTest, GivesTheText) {
    EXPECT_EQ(FormatDottedQuad(GetParam().value), GetParam().text);
}

TEST_P(FormatDottedQuadTest, ParsesBackToTheValue) {
    EXPECT_EQ(ParseDottedQuad(FormatDottedQuad(GetParam().value)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatDottedQuadTest,
    ::testing::Values(FormatDottedQuadRow{"zero", 0, "0.0.0.0"},
                      FormatDottedQuadRow{"all_ones", 0xFFFFFFFFu, "255.255.255.255"},
                      FormatDottedQuadRow{"no_leading_zeros", 0x0A000001u, "10.0.0.1"},
                      FormatDottedQuadRow{"most_significant_first", 0xC0A8000Au, "192.168.0.10"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varl
