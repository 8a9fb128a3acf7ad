#include "call_failure.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_varl/fake_library.h"
#include "library_binding.h"

namespace quorrel {
namespace {

using testing::FakeLibrary;

class FailureFromLibraryTest : public ::testing::Test {
protected:
    FailureFromLibraryTest() : fake(FAKE_VARL_FULL), binding(FAKE_VARL_FULL) { EXPECT_TRUE(binding.LoadProtocolLibrary()); }

    FakeLibrary fake;
    LibraryBinding binding;
};

TEST_F(FailureFromLibraryTest, TakesTheLibrarysTextOnce) {
    fake.State().errorText = "Communications error. Could not send message. (WSAENETDOWN)";
    EXPECT_EQ(FailureFromLibrary(binding),
              (CallFailure{FailureKind::NetworkOrUnit, "Communications error. Could not send message. (WSAENETDOWN)"}));
    EXPECT_EQ(FailureFromLibrary(binding).text, "");
}

TEST_F(FailureFromLibraryTest, ReadsATextFillingTheWholeBufferNoFurther) {
    // The fake cuts at the 500 bytes it is told the buffer holds, leaving no terminator.
    fake.State().errorText = std::string(600, 'x');
    EXPECT_EQ(FailureFromLibrary(binding).text, std::string(kErrorTextBufferSize, 'x'));
}

struct KindRow {
    const char* name;
    const char* text;
    FailureKind kind;
};

class KindOfLibraryTextTest : public FailureFromLibraryTest, public ::testing::WithParamInterface<KindRow> {};

TEST_P(KindOfLibraryTextTest, ComesFromTheTextsFamily) {
    fake.State().errorText = GetParam().text;
    EXPECT_EQ(FailureFromLibrary(binding), (CallFailure{GetParam().kind, GetParam().text}));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KindOfLibraryTextTest,
    ::testing::Values(
        KindRow{"remote_name_refused", "File upload error. Remote file name must use 8.3 format.",
                FailureKind::ArgumentRefused},
        KindRow{"null_argument", "Argument error. The count pointer is null.", FailureKind::ArgumentRefused},
        KindRow{"upload_connection", "Communications error. Could not open transfer connection.",
                FailureKind::NetworkOrUnit},
        KindRow{"socket", "Communications error. Receive error. (WSAEMSGSIZE)", FailureKind::NetworkOrUnit},
        KindRow{"inside_the_library", "Internal error. Out of memory.", FailureKind::NetworkOrUnit},
        KindRow{"family_not_at_the_start", "Communications error. File upload error.", FailureKind::NetworkOrUnit},
        KindRow{"empty", "", FailureKind::NetworkOrUnit}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FailureFromLibrary, WithoutTheErrorExportIsItsOwnKindWithoutText) {
    LibraryBinding binding(FAKE_VARL_NO_LAST_ERR);
    ASSERT_TRUE(binding.LoadProtocolLibrary());
    EXPECT_EQ(FailureFromLibrary(binding), (CallFailure{FailureKind::ErrorExportMissing, ""}));
}

TEST(DriverInterfaceError, IsAMissingExport) {
    EXPECT_EQ(DriverInterfaceError(), (CallFailure{FailureKind::ExportMissing, "Driver interface error."}));
}

}  // namespace
}  // namespace quorrel
