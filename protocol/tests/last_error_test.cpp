// The last-error rules, as a caller sees them: failures and successes through the guard, and the
// fetch that empties the text. Each test first stores a failure of its own, whatever came before.
#include "last_error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "export_guard.h"
#include "failure_texts.h"

namespace varl {
namespace {

// Fetches as a caller does, into a buffer that starts full of junk.
std::string Fetch() {
    char buffer[500];
    std::memset(buffer, 'J', sizeof buffer);
    TakeLastErrorText(buffer);
    return buffer;
}

VarlBool Fail(const char* message) {
    return RunGuarded([message] { return Status::Failure(message); });
}

VarlBool Succeed() {
    return RunGuarded([] { return Status(); });
}

TEST(LastError, FetchEmptiesTheText) {
    ASSERT_EQ(Fail(text::kNullCount), 0);
    EXPECT_EQ(Fetch(), "Argument error. The count pointer is null.");
    EXPECT_EQ(Fetch(), "");
}

TEST(LastError, SecondFailureReplacesTheFirstWhole) {
    ASSERT_EQ(RunGuarded([] { return Status::SocketFailure(text::kCouldNotSetOptions, -1); }), 0);
    ASSERT_EQ(Fail(text::kNullCount), 0);
    EXPECT_EQ(Fetch(), "Argument error. The count pointer is null.");
}

TEST(LastError, SuccessLeavesTheText) {
    ASSERT_EQ(Fail(text::kNullRecord), 0);
    ASSERT_EQ(Succeed(), 1);
    EXPECT_EQ(Fetch(), "Argument error. The record pointer is null.");
}

TEST(LastError, FetchIntoNullBufferKeepsTheText) {
    ASSERT_EQ(Fail(text::kNullCount), 0);
    TakeLastErrorText(nullptr);
    EXPECT_EQ(Fetch(), "Argument error. The count pointer is null.");
}

}  // namespace
}  // namespace varl
