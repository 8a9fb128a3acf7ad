#include "addressing.h"

#include <gtest/gtest.h>

#include <string>

#include "device_record_testing.h"

namespace quorrel {
namespace {

using varl::testing::MakeRecord;

const DeviceRecord kUnit = MakeRecord(0x1A2B3, 2, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");

struct RecordRow {
    const char* name;
    Addressing wanted;
    DeviceRecord expected;
};

class RecordWithAddressingTest : public ::testing::TestWithParam<RecordRow> {};

TEST_P(RecordWithAddressingTest, WritesModeAndAddressesOnly) {
    EXPECT_EQ(RecordWithAddressing(kUnit, GetParam().wanted), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RecordWithAddressingTest,
    ::testing::Values(
        RecordRow{"off_takes_the_fields", Addressing::Static(0xC0A80714, 0xFFFFFF00, 0xC0A80701),
                  MakeRecord(0x1A2B3, 0, 0xC0A80714, 0xFFFFFF00, 0xC0A80701, "QX-100")},
        RecordRow{"on_zeroes_the_addresses", {DhcpChoice::On, 0xC0A80714, 0xFFFFFF00, 0xC0A80701},
                  MakeRecord(0x1A2B3, 1, 0, 0, 0, "QX-100")},
        RecordRow{"neither_is_255_with_the_fields", {DhcpChoice::Neither, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001},
                  MakeRecord(0x1A2B3, 255, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100")}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReportRow {
    const char* name;
    DeviceRecord unit;
    Addressing wanted;
    bool reports;
};

class UnitReportsTest : public ::testing::TestWithParam<ReportRow> {};

TEST_P(UnitReportsTest, NeedsModeOneForDhcpAndModeZeroWithAllThreeValuesForStatic) {
    EXPECT_EQ(UnitReports(GetParam().unit, GetParam().wanted), GetParam().reports);
}

const Addressing kStatic = Addressing::Static(0x0A4D0014, 0xFFFF0000, 0x0A4D0001);

INSTANTIATE_TEST_SUITE_P(
    Rows, UnitReportsTest,
    ::testing::Values(ReportRow{"static_as_asked", MakeRecord(1, 0, 0x0A4D0014, 0xFFFF0000, 0x0A4D0001, ""), kStatic, true},
                      ReportRow{"other_address", MakeRecord(1, 0, 0x0A4D0015, 0xFFFF0000, 0x0A4D0001, ""), kStatic, false},
                      ReportRow{"other_mask", MakeRecord(1, 0, 0x0A4D0014, 0xFFFFFF00, 0x0A4D0001, ""), kStatic, false},
                      ReportRow{"other_gateway", MakeRecord(1, 0, 0x0A4D0014, 0xFFFF0000, 0x0A4D0002, ""), kStatic, false},
                      ReportRow{"dhcp_for_static", MakeRecord(1, 1, 0x0A4D0014, 0xFFFF0000, 0x0A4D0001, ""), kStatic, false},
                      ReportRow{"dhcp_as_asked", MakeRecord(1, 1, 0x0A4D0014, 0xFFFF0000, 0x0A4D0001, ""),
                                Addressing::Dhcp(), true},
                      ReportRow{"other_digit_is_not_dhcp", MakeRecord(1, 5, 0, 0, 0, ""), Addressing::Dhcp(), false},
                      ReportRow{"static_for_dhcp", MakeRecord(1, 0, 0, 0, 0, ""), Addressing::Dhcp(), false},
                      ReportRow{"neither_never", MakeRecord(1, 255, 0, 0, 0, ""), Addressing{}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorrel
