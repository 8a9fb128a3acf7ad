#include "call_failure.h"

#include <gtest/gtest.h>

#include "fake_varl/fake_library.h"
#include "library_binding.h"

namespace quorrel {
namespace {

using testing::FakeLibrary;

TEST(FailureFromLibrary, TakesTheLibrarysTextOnce) {
    FakeLibrary fake(FAKE_VARL_FULL);
    LibraryBinding binding(fake.path);
    ASSERT_TRUE(binding.LoadProtocolLibrary());
    fake.State().errorText = "Communications error. Could not send message. (WSAENETDOWN)";
    EXPECT_EQ(FailureFromLibrary(binding),
              (CallFailure{"Communications error. Could not send message. (WSAENETDOWN)", false}));
    EXPECT_EQ(FailureFromLibrary(binding), (CallFailure{"", false}));
}

TEST(FailureFromLibrary, ReadsATextFillingTheWholeBufferNoFurther) {
    FakeLibrary fake(FAKE_VARL_FULL);
    LibraryBinding binding(fake.path);
    ASSERT_TRUE(binding.LoadProtocolLibrary());
    // The fake cuts at the 500 bytes it is told the buffer holds, leaving no terminator.
    fake.State().errorText = std::string(600, 'x');
    EXPECT_EQ(FailureFromLibrary(binding).text, std::string(kErrorTextBufferSize, 'x'));
}

TEST(FailureFromLibrary, WithoutTheErrorExportSaysSo) {
    FakeLibrary fake(FAKE_VARL_NO_LAST_ERR);
    LibraryBinding binding(fake.path);
    ASSERT_TRUE(binding.LoadProtocolLibrary());
    EXPECT_EQ(FailureFromLibrary(binding), (CallFailure{"", true}));
}

}  // namespace
}  // namespace quorrel
