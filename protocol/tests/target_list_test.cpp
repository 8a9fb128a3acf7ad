#include "target_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varl {
namespace {

using Error = TargetList::Error;

struct ListRow {
    const char* name;
    const char* text;
    std::vector<TargetRange> ranges;
    Error error = Error::kNone;
    const char* badEntry = "";
};

class TargetListTest : public ::testing::TestWithParam<ListRow> {};

TEST_P(TargetListTest, ReadsAddressesAndRangesOrNamesTheBadEntry) {
    const TargetList list = ParseTargetList(GetParam().text);
    EXPECT_EQ(list.error, GetParam().error);
    EXPECT_EQ(list.ranges, GetParam().ranges);
    EXPECT_EQ(list.badEntry, GetParam().badEntry);
}

constexpr uint32_t kSite = 0x0A500000;  // 10.80.0.0

INSTANTIATE_TEST_SUITE_P(
    Rows, TargetListTest,
    ::testing::Values(ListRow{"empty", "", {}}, ListRow{"only_separators", " ,\t, ", {}},
                      ListRow{"one_address", "10.80.0.7", {{kSite + 7, kSite + 7}}},
                      ListRow{"directed_broadcast", "10.80.0.255", {{kSite + 255, kSite + 255}}},
                      ListRow{"slash_24_without_network_and_broadcast", "10.80.0.0/24", {{kSite + 1, kSite + 254}}},
                      ListRow{"host_bits_name_their_network", "10.80.0.77/24", {{kSite + 1, kSite + 254}}},
                      ListRow{"slash_16", "10.80.9.9/16", {{kSite + 1, kSite + 0xFFFE}}},
                      ListRow{"slash_31_both", "10.80.0.6/31", {{kSite + 6, kSite + 7}}},
                      ListRow{"slash_32_the_one", "10.80.0.6/32", {{kSite + 6, kSite + 6}}},
                      ListRow{"commas_blanks_and_tabs",
                              "10.80.0.7,10.80.0.8/30 \t10.80.0.1",
                              {{kSite + 7, kSite + 7}, {kSite + 9, kSite + 10}, {kSite + 1, kSite + 1}}},
                      ListRow{"a_word", "10.80.0.7 router", {}, Error::kMalformed, "router"},
                      ListRow{"an_octet_of_256", "10.80.0.256", {}, Error::kMalformed, "10.80.0.256"},
                      ListRow{"slash_8", "10.0.0.0/8", {}, Error::kTooWide, "10.0.0.0/8"},
                      ListRow{"slash_15", "10.80.0.0/15", {}, Error::kTooWide, "10.80.0.0/15"},
                      ListRow{"an_empty_range", "10.80.0.0/", {}, Error::kMalformed, "10.80.0.0/"},
                      ListRow{"slash_33", "10.80.0.0/33", {}, Error::kMalformed, "10.80.0.0/33"},
                      ListRow{"three_octets", "10.80.0", {}, Error::kMalformed, "10.80.0"},
                      ListRow{"five_octets", "10.80.0.1.2", {}, Error::kMalformed, "10.80.0.1.2"},
                      ListRow{"empty_octet", "10..0.1", {}, Error::kMalformed, "10..0.1"},
                      ListRow{"four_digits", "10.80.0.0001", {}, Error::kMalformed, "10.80.0.0001"},
                      ListRow{"blank_before_the_prefix", "10.80.0.0 /24", {}, Error::kMalformed, "/24"},
                      ListRow{"a_dash_range", "10.80.0.1-10.80.0.9", {}, Error::kMalformed, "10.80.0.1-10.80.0.9"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TargetCursor, StepsThroughEachRangeInOrderAndStartsOver) {
    const TargetList list = ParseTargetList("10.80.0.9 10.80.0.0/30 10.80.0.0/16");
    TargetCursor cursor(list.ranges);
    std::vector<uint32_t> addresses;
    for (uint32_t address; cursor.Next(address);) addresses.push_back(address);
    ASSERT_EQ(addresses.size(), 1u + 2u + 65534u);
    EXPECT_EQ(std::vector(addresses.begin(), addresses.begin() + 4),
              (std::vector<uint32_t>{kSite + 9, kSite + 1, kSite + 2, kSite + 1}));
    EXPECT_EQ(addresses.back(), kSite + 0xFFFE);
    EXPECT_TRUE(cursor.AtEnd());
    cursor.Restart();
    uint32_t first = 0;
    ASSERT_TRUE(cursor.Next(first));
    EXPECT_EQ(first, kSite + 9);
}

}  // namespace
}  // namespace varl
