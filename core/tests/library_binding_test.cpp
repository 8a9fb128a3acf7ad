#include "library_binding.h"

#include <gtest/gtest.h>

#include "configuration.h"
#include "fake_varl/fake_library.h"

namespace quorrel {
namespace {

using testing::FakeLibrary;

TEST(LibraryBinding, AMissingLibraryFailsEveryTime) {
    LibraryBinding binding(FAKE_VARL_MISSING);
    EXPECT_FALSE(binding.LoadProtocolLibrary());
    EXPECT_EQ(binding.Discover(), nullptr);
}

TEST(LibraryBinding, RefusesALibraryWhoseOwnDependenciesAreIncomplete) {
    LibraryBinding binding(UNRESOLVED_DEPENDENCY_LIBRARY);
    EXPECT_FALSE(binding.LoadProtocolLibrary());
}

TEST(LibraryBinding, ResolvesOnlyWhatIsExportedAndAMissingExportFailsAtItsCall) {
    FakeLibrary fake(FAKE_VARL_NO_SET_CONFIG);
    LibraryBinding binding(fake.path);
    ASSERT_TRUE(binding.LoadProtocolLibrary());
    EXPECT_NE(binding.Discover(), nullptr);
    EXPECT_NE(binding.UploadFile(), nullptr);
    EXPECT_NE(binding.LastError(), nullptr);
    EXPECT_EQ(SendConfiguration(binding, DeviceRecord{}), DriverInterfaceError());
}

}  // namespace
}  // namespace quorrel
