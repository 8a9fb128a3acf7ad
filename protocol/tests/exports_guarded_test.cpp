// Every export runs inside the guard: linked here against core functions that throw, each export
// that reaches one gives false and a text, and the caller's program goes on.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "ftp_upload.h"
#include "udp_exchanges.h"
#include "varl.h"

namespace varl {

Status DiscoverUnits(uint32_t*, DeviceRecord*, uint32_t) { throw std::runtime_error("discover"); }
Status GetFirstConfig(DeviceRecord*, uint32_t) { throw std::runtime_error("get-config"); }
Status SendSetConfig(const DeviceRecord*) { throw std::runtime_error("set-config"); }
Status UploadFile(uint32_t, const char*, const char*) { throw std::runtime_error("upload"); }

namespace {

struct ExportRow {
    const char* name;
    VarlBool (*call)();
};

class ThrowingCoreTest : public ::testing::TestWithParam<ExportRow> {};

TEST_P(ThrowingCoreTest, GivesFalseAndAText) {
    EXPECT_EQ(GetParam().call(), 0);
    char text[100];
    std::memset(text, 'J', sizeof text);
    VARL_Error_LastErr(text);
    EXPECT_STREQ(text, "Internal error. Unexpected failure inside the library.");
}

DeviceRecord record{};
uint32_t count = 1;

INSTANTIATE_TEST_SUITE_P(
    Exports, ThrowingCoreTest,
    ::testing::Values(
        ExportRow{"discover", [] { return VARL_Admin_Discover(&count, &record, 100); }},
        ExportRow{"get_config", [] { return VARL_Admin_GetConfig(0, &record, 100); }},
        ExportRow{"set_config", [] { return VARL_Admin_SetConfig(0, &record); }},
        ExportRow{"upload_file", [] { return VARL_Admin_UploadFile(0x0A4D000A, "/dev/null", "", "A.HTM", 0); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varl
