#include "library_binding.h"

#include <gtest/gtest.h>

#include "tool_test_support.h"

namespace parbex {
namespace {

using testing::FakeLibrary;
using testing::MessageRecorder;
using testing::Plain;
using testing::RecordedMessage;

TEST(LibraryBinding, TheProgramsLocationIsTheFixedOne) {
    EXPECT_EQ(LibraryBinding().Path(), "/opt/tamberlode/quorrel-tools/libvarl.so");
}

TEST(LibraryBinding, AMissingLibraryFailsEveryTimeAndLeavesNothingLoaded) {
    MessageRecorder boxes;
    LibraryBinding binding(PARBEX_TEST_MISSING_LIBRARY);
    EXPECT_FALSE(binding.LoadProtocolLibrary());
    EXPECT_FALSE(binding.LoadProtocolLibrary());
    EXPECT_FALSE(binding.IsLoaded());
    EXPECT_EQ(binding.Resolve<DiscoverFunction>(kDiscoverExport), nullptr);
    EXPECT_EQ(binding.FetchLibraryError(), "");
    EXPECT_TRUE(boxes.messages.empty());
}

TEST(LibraryBinding, LoadsOnceAndResolvesOnlyWhatIsExported) {
    FakeLibrary fake(FAKE_VARL_NO_DISCOVER);
    LibraryBinding binding(fake.path);
    ASSERT_TRUE(binding.LoadProtocolLibrary());
    EXPECT_TRUE(binding.LoadProtocolLibrary());
    EXPECT_EQ(binding.Resolve<DiscoverFunction>(kDiscoverExport), nullptr);
    EXPECT_NE(binding.Resolve<SetConfigFunction>(kSetConfigExport), nullptr);
    EXPECT_NE(binding.Resolve<UploadFileFunction>(kUploadFileExport), nullptr);
    EXPECT_NE(binding.Resolve<LastErrorFunction>(kLastErrorExport), nullptr);
}

TEST(FetchLibraryError, GivesTheLibrarysTextOnceThenTheEmptyText) {
    MessageRecorder boxes;
    FakeLibrary fake(FAKE_VARL_FULL);
    LibraryBinding binding(fake.path);
    ASSERT_TRUE(binding.LoadProtocolLibrary());
    fake.State().errorText = "Communications error. Could not send (WSAENETUNREACH)";
    EXPECT_EQ(binding.FetchLibraryError(), "Communications error. Could not send (WSAENETUNREACH)");
    EXPECT_EQ(binding.FetchLibraryError(), "");
    EXPECT_TRUE(boxes.messages.empty());
}

TEST(FetchLibraryError, IsEmptyBeforeTheLibraryIsLoaded) {
    FakeLibrary fake(FAKE_VARL_FULL);
    fake.State().errorText = "left over";
    LibraryBinding binding(fake.path);
    EXPECT_EQ(binding.FetchLibraryError(), "");
    EXPECT_TRUE(fake.State().calls.empty());
}

TEST(FetchLibraryError, WithoutTheErrorExportSaysSoInAPlainBoxAndGivesTheEmptyText) {
    MessageRecorder boxes;
    FakeLibrary fake(FAKE_VARL_NO_LAST_ERR);
    LibraryBinding binding(fake.path);
    ASSERT_TRUE(binding.LoadProtocolLibrary());
    EXPECT_EQ(binding.FetchLibraryError(), "");
    EXPECT_EQ(boxes.messages, std::vector<RecordedMessage>{Plain("Can't get address of Error_LastErr().")});
}

TEST(FetchLibraryError, ATextFillingTheWholeBufferIsReadNoFurtherThanTheBuffer) {
    FakeLibrary fake(FAKE_VARL_FULL);
    LibraryBinding binding(fake.path);
    ASSERT_TRUE(binding.LoadProtocolLibrary());
    // The fake cuts at the 500 bytes it is told the buffer holds, leaving no terminator.
    fake.State().errorText = std::string(600, 'x');
    EXPECT_EQ(binding.FetchLibraryError(), std::string(kErrorTextBufferSize, 'x'));
}

}  // namespace
}  // namespace parbex
