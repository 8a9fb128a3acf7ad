// The last-error rules, seen as a caller sees them: fetch, failures and successes in turn.
#include "last_error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scripted_socket.h"
#include "udp_exchanges.h"

namespace varl {
namespace {

using testing::FakePollClock;
using testing::ScriptedSocket;

class LastErrorTest : public ::testing::Test {
protected:
    void SetUp() override { ClearLastErrorText(); }

    // Fetches as a caller does, into a buffer that starts full of junk.
    std::string Fetch() {
        std::memset(buffer, 'J', sizeof buffer);
        TakeLastErrorText(buffer);
        return buffer;
    }

    static bool Fail() { return DiscoverUnits(nullptr, nullptr, 0); }

    static bool Succeed() {
        ScriptedSocket socket;
        FakePollClock clock;
        uint32_t count = 0;
        return DiscoverUnits(socket, clock, &count, nullptr, 0);
    }

    char buffer[500];
};

TEST_F(LastErrorTest, FetchWithNothingStoredGivesTheEmptyText) {
    EXPECT_EQ(Fetch(), "");
}

TEST_F(LastErrorTest, FetchEmptiesTheText) {
    ASSERT_FALSE(Fail());
    EXPECT_EQ(Fetch(), "Argument error. The count pointer is null.");
    EXPECT_EQ(Fetch(), "");
}

TEST_F(LastErrorTest, SecondFailureReplacesTheFirst) {
    SetLastErrorText("Communications error. Could not set socket options. ((unknown socket error))");
    ASSERT_FALSE(Fail());
    EXPECT_EQ(Fetch(), "Argument error. The count pointer is null.");
}

TEST_F(LastErrorTest, SuccessLeavesTheText) {
    ASSERT_FALSE(Fail());
    ASSERT_TRUE(Succeed());
    EXPECT_EQ(Fetch(), "Argument error. The count pointer is null.");
}

TEST_F(LastErrorTest, FetchIntoNullBufferKeepsTheText) {
    ASSERT_FALSE(Fail());
    TakeLastErrorText(nullptr);
    EXPECT_EQ(Fetch(), "Argument error. The count pointer is null.");
}

}  // namespace
}  // namespace varl
