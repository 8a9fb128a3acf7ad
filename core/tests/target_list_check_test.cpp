#include "target_list_check.h"

#include <gtest/gtest.h>

namespace quorrel {
namespace {

struct CheckRow {
    const char* name;
    const char* list;
    std::optional<TargetListRefusal> expected;
};

class CheckTargetListTest : public ::testing::TestWithParam<CheckRow> {};

TEST_P(CheckTargetListTest, RefusesInTheLibrarysWordsNamingTheEntry) {
    EXPECT_EQ(CheckTargetList(GetParam().list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CheckTargetListTest,
    ::testing::Values(
        CheckRow{"empty", "", std::nullopt},
        CheckRow{"addresses_and_ranges", "10.80.0.0/24, 10.81.0.7 10.82.255.255", std::nullopt},
        CheckRow{"malformed", "10.80.0.0/24,10.81.0.300",
                 TargetListRefusal{"Argument error. VARL_TARGETS holds an entry that is no address or range.",
                                   "10.81.0.300"}},
        CheckRow{"too_wide", "10.0.0.0/8",
                 TargetListRefusal{"Argument error. VARL_TARGETS holds a range wider than /16.", "10.0.0.0/8"}}),
    [](const ::testing::TestParamInfo<CheckRow>& info) { return info.param.name; });

}  // namespace
}  // namespace quorrel
