#include "configuration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_record_testing.h"
#include "fake_varl/fake_library.h"
#include "library_binding.h"
#include "upload.h"

namespace quorrel {
namespace {

using testing::FakeLibrary;
using varl::testing::MakeRecord;

const DeviceRecord kUnit = MakeRecord(0x1A2B3, 2, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");

class LibraryCallTest : public ::testing::Test {
protected:
    LibraryCallTest() : fake(FAKE_VARL_FULL), binding(fake.path) {
        EXPECT_TRUE(binding.LoadProtocolLibrary());
        fake.State().onCall = [this](const std::string& name) { events.push_back(name); };
    }

    FakeLibrary fake;
    LibraryBinding binding;
    std::vector<std::string> events;
    const std::function<void()> note = [this] { events.push_back("before"); };
};

TEST_F(LibraryCallTest, SendConfigurationNamesTheUnitByItsSerial) {
    EXPECT_EQ(SendConfiguration(binding, kUnit, note), std::nullopt);
    const auto calls = fake.CallsOf("VARL_Admin_SetConfig");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].firstArgument, 0x1A2B3u);
    EXPECT_EQ(calls[0].record, kUnit);
    EXPECT_EQ(events, (std::vector<std::string>{"before", "VARL_Admin_SetConfig"}));
}

TEST_F(LibraryCallTest, UploadFileHandsOverAddressPathAndName) {
    EXPECT_EQ(UploadFile(binding, 0x0A4D000B, "/tmp/a b/index.htm", "index.htm", note), std::nullopt);
    const auto calls = fake.CallsOf("VARL_Admin_UploadFile");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].address, 0x0A4D000Bu);
    EXPECT_EQ(calls[0].localPath, "/tmp/a b/index.htm");
    EXPECT_EQ(calls[0].ignoredText, "");
    EXPECT_EQ(calls[0].remoteName, "index.htm");
    EXPECT_EQ(calls[0].ignoredNumber, 0u);
    EXPECT_EQ(events, (std::vector<std::string>{"before", "VARL_Admin_UploadFile"}));
}

TEST_F(LibraryCallTest, AFalseResultGivesTheLibrarysText) {
    fake.State().setConfigResult = 0;
    fake.State().uploadResult = 0;
    fake.State().errorText = "Communications error. Could not send message. (WSAENETDOWN)";
    EXPECT_EQ(SendConfiguration(binding, kUnit),
              (CallFailure{FailureKind::NetworkOrUnit, "Communications error. Could not send message. (WSAENETDOWN)"}));
    fake.State().errorText = "File upload error. Remote file name must use 8.3 format.";
    EXPECT_EQ(UploadFile(binding, 1, "/x", "x"),
              (CallFailure{FailureKind::ArgumentRefused, "File upload error. Remote file name must use 8.3 format."}));
}

TEST(DefaultRemoteName, IsTheFilesOwnName) {
    EXPECT_EQ(DefaultRemoteName("/tmp/a b/index.htm"), "index.htm");
    EXPECT_EQ(DefaultRemoteName("index.htm"), "index.htm");
    EXPECT_EQ(DefaultRemoteName("pages/"), "");
}

}  // namespace
}  // namespace quorrel
