#include "ipv4_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quorrel {
namespace {

struct ParseRow {
    const char* name;
    const char* text;
    std::optional<std::uint32_t> value;
};

class ParseAddressTest : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseAddressTest, TakesFourPartsOfAtMost255AndNothingElse) {
    EXPECT_EQ(ParseAddress(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseAddressTest,
    ::testing::Values(ParseRow{"lab_unit", "10.77.0.10", 0x0A4D000A}, ParseRow{"all_ones", "255.255.255.255", 0xFFFFFFFF},
                      ParseRow{"zero", "0.0.0.0", 0}, ParseRow{"leading_zeros", "010.001.000.009", 0x0A010009},
                      ParseRow{"part_above_255", "10.256.0.1", std::nullopt},
                      ParseRow{"three_parts", "10.77.0", std::nullopt},
                      ParseRow{"five_parts", "10.77.0.1.2", std::nullopt},
                      ParseRow{"empty_part", "10..0.1", std::nullopt}, ParseRow{"trailing_dot", "10.77.0.1.", std::nullopt},
                      ParseRow{"four_digits", "0001.0.0.1", std::nullopt},
                      ParseRow{"blank_around", " 10.77.0.1", std::nullopt},
                      ParseRow{"sign", "+10.77.0.1", std::nullopt}, ParseRow{"empty", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MaskFromPrefix, CoversZeroToThirtyTwoOnly) {
    EXPECT_EQ(MaskFromPrefix(0), 0u);
    EXPECT_EQ(MaskFromPrefix(16), 0xFFFF0000u);
    EXPECT_EQ(MaskFromPrefix(31), 0xFFFFFFFEu);
    EXPECT_EQ(MaskFromPrefix(32), 0xFFFFFFFFu);
    EXPECT_EQ(MaskFromPrefix(33), std::nullopt);
    EXPECT_EQ(MaskFromPrefix(-1), std::nullopt);
}

TEST(IsContiguousMask, AcceptsOnesThenZerosOnly) {
    for (int prefix = 0; prefix <= 32; ++prefix) EXPECT_TRUE(IsContiguousMask(*MaskFromPrefix(prefix))) << prefix;
    EXPECT_FALSE(IsContiguousMask(0xFF00FF00));
    EXPECT_FALSE(IsContiguousMask(0x00FFFFFF));
    EXPECT_FALSE(IsContiguousMask(0xFFFFFF01));
}

}  // namespace
}  // namespace quorrel
