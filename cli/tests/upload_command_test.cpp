#include "upload_command.h"

#include <gtest/gtest.h>

#include <fstream>

#include "command_test_support.h"

namespace quorrel::cli {
namespace {

using testing::kSiteDiscovery;

class UploadCommand : public testing::CommandTest {
protected:
    UploadCommand() { std::ofstream(file, std::ios::binary) << "<p>hello</p>\n"; }

    const std::string file = ::testing::TempDir() + "page.htm";
};

TEST_F(UploadCommand, BySerialStoresTheFileUnderItsOwnNameAtTheUnitsAddress) {
    const testing::Outcome run = Run({"upload", "1b3c4", file.c_str()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Uploads(), std::vector<std::uint32_t>{0x0A4D000B});
    EXPECT_EQ(fake.CallsOf("VARL_Admin_UploadFile")[0].remoteName, "page.htm");
    EXPECT_EQ(fake.CallsOf("VARL_Admin_UploadFile")[0].localPath, file);
    EXPECT_EQ(run.out.rfind("1B3C4 at 10.77.0.11: stored page.htm, 13 bytes in ", 0), 0u) << run.out;
    EXPECT_EQ(Discoveries(), std::vector{kSiteDiscovery});
}

TEST_F(UploadCommand, ARefusedNameStopsAtTheFirstUnit) {
    for (const DeviceRecord& unit : testing::LabRecords(6)) {
        fake.State().uploadFailures[unit.address] = "File upload error. Remote file name must use 8.3 format.";
    }
    const testing::Outcome run = Run({"upload", "--all", file.c_str(), "ABCDEFGHI.HTM"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Uploads().size(), 1u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "quorrel: remote name 'ABCDEFGHI.HTM': File upload error. Remote file name must use 8.3 format.\n");
}

TEST_F(UploadCommand, AllStoresOnEveryUnitInOrderOfSerialAndEndsWithOneWhenAnyFailed) {
    std::reverse(fake.State().site.begin(), fake.State().site.end());
    fake.State().uploadFailures[0x0A4D000C] = "Communications error. Could not open transfer connection.";
    const testing::Outcome run = Run({"upload", "--all", file.c_str(), "INDEX.HTM"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Uploads(), (std::vector<std::uint32_t>{0x0A4D000A, 0x0A4D000B, 0x0A4D000C, 0x0A4D000D, 0x0A4D000E,
                                                     0x0A4D000F}));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 5);
    EXPECT_EQ(run.err, "quorrel: 1C4D5 at 10.77.0.12: Communications error. Could not open transfer connection.\n");
}

}  // namespace
}  // namespace quorrel::cli
