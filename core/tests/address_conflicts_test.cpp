#include "address_conflicts.h"

#include <gtest/gtest.h>

#include "device_record_testing.h"

namespace quorrel {
namespace {

using varl::testing::MakeRecord;
using Conflicts = std::map<std::uint32_t, std::vector<std::uint32_t>>;

DeviceRecord Unit(std::uint32_t serial, std::uint32_t address) { return MakeRecord(serial, 0, address, 0, 0, ""); }

struct ConflictRow {
    const char* name;
    std::vector<DeviceRecord> units;
    Conflicts expected;
};

class AddressConflictsTest : public ::testing::TestWithParam<ConflictRow> {};

TEST_P(AddressConflictsTest, NamesTheOtherUnits) { EXPECT_EQ(AddressConflicts(GetParam().units), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Rows, AddressConflictsTest,
    ::testing::Values(
        ConflictRow{"all_distinct", {Unit(1, 10), Unit(2, 11), Unit(3, 12)}, {}},
        ConflictRow{"two_share", {Unit(1, 10), Unit(2, 11), Unit(3, 10)}, {{1, {3}}, {3, {1}}}},
        ConflictRow{"three_share_in_listed_order",
                    {Unit(5, 10), Unit(2, 10), Unit(9, 10)},
                    {{5, {2, 9}}, {2, {5, 9}}, {9, {5, 2}}}},
        ConflictRow{"two_pairs", {Unit(1, 10), Unit(2, 11), Unit(3, 10), Unit(4, 11)},
                    {{1, {3}}, {3, {1}}, {2, {4}}, {4, {2}}}},
        ConflictRow{"no_address_is_no_conflict", {Unit(1, 0), Unit(2, 0)}, {}},
        ConflictRow{"one_unit_listed_twice", {Unit(1, 10), Unit(1, 10)}, {}}),
    [](const ::testing::TestParamInfo<ConflictRow>& info) { return info.param.name; });

TEST(UnitHoldingAddress, FindsAnotherUnitOnly) {
    const std::vector<DeviceRecord> units{Unit(1, 10), Unit(2, 11), Unit(3, 0)};
    EXPECT_EQ(UnitHoldingAddress(units, 11, 1), 2u);
    EXPECT_EQ(UnitHoldingAddress(units, 11, 2), std::nullopt) << "a unit keeping its own address";
    EXPECT_EQ(UnitHoldingAddress(units, 12, 1), std::nullopt);
    EXPECT_EQ(UnitHoldingAddress(units, 0, 1), std::nullopt) << "0.0.0.0 is no address";
}

}  // namespace
}  // namespace quorrel
