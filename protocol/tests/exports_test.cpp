// The exports of the built libvarl.so that need no network: version, error fetch and the
// handling of null pointers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "varl.h"

namespace {

std::string TakeLastError() {
    char buffer[500];
    std::memset(buffer, 'J', sizeof buffer);
    VARL_Error_LastErr(buffer);
    return buffer;
}

TEST(Exports, VersionIsOneZero) {
    int32_t first = -1, second = -1;
    VARL_DriverCfg_Version(&first, &second);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}

TEST(Exports, LastErrorIntoNullBufferDoesNothing) {
    uint32_t* noCount = nullptr;
    ASSERT_FALSE(VARL_Admin_Discover(noCount, nullptr, 0));
    VARL_Error_LastErr(nullptr);
    EXPECT_EQ(TakeLastError(), "Argument error. The count pointer is null.");
}

struct NullPointerRow {
    const char* name;
    VarlBool (*call)();
    const char* text;
};

class NullPointerTest : public ::testing::TestWithParam<NullPointerRow> {};

TEST_P(NullPointerTest, FailsWithAShortText) {
    EXPECT_EQ(GetParam().call(), 0);
    const std::string text = TakeLastError();
    EXPECT_EQ(text, GetParam().text);
    EXPECT_LE(text.size(), 76u);
}

DeviceRecord records[1];

INSTANTIATE_TEST_SUITE_P(
    Rows, NullPointerTest,
    ::testing::Values(
        NullPointerRow{"discover_null_count", [] { return VARL_Admin_Discover(nullptr, nullptr, 0); },
                       "Argument error. The count pointer is null."},
        NullPointerRow{"discover_null_count_with_array", [] { return VARL_Admin_Discover(nullptr, records, 0); },
                       "Argument error. The count pointer is null."},
        NullPointerRow{"get_config_null_record", [] { return VARL_Admin_GetConfig(0, nullptr, 0); },
                       "Argument error. The record pointer is null."},
        NullPointerRow{"set_config_null_record", [] { return VARL_Admin_SetConfig(0, nullptr); },
                       "Argument error. The record pointer is null."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Exports, FetchWithNothingStoredGivesOnlyTheNul) {
    TakeLastError();
    char buffer[4] = {'J', 'J', 'J', 'J'};
    VARL_Error_LastErr(buffer);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'J');
}

}  // namespace
