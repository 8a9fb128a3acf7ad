#include "status.h"

#include <gtest/gtest.h>

#include <string>

#include "failure_texts.h"
#include "socket_errors.h"

namespace varl {
namespace {

std::string Describe(const Status& status, std::size_t size = text::kLongest + 1) {
    char text[200];
    status.Describe(text, size);
    return text;
}

TEST(Status, UnlistedSocketErrorGivesNestedParenthesesInTheLongestText) {
    const std::string longest = Describe(Status::SocketFailure(text::kCouldNotSetOptions, kWsaUnmapped));
    EXPECT_EQ(longest, "Communications error. Could not set socket options. ((unknown socket error))");
    EXPECT_EQ(longest.size(), text::kLongest);
}

TEST(Status, TextIsCutToTheBuffer) {
    EXPECT_EQ(Describe(Status::SocketFailure(text::kReceiveError, kWsaEMsgSize), 11), "Communicat");
    EXPECT_EQ(Describe(Status::Failure(text::kNullCount), 1), "");
}

}  // namespace
}  // namespace varl
