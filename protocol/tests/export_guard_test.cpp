#include "export_guard.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "last_error.h"

namespace varl {
namespace {

TEST(RunGuarded, PassesTheResultAndLeavesTheText) {
    SetLastErrorText("earlier");
    EXPECT_EQ(RunGuarded([] { return true; }), 1);
    EXPECT_EQ(RunGuarded([] { return false; }), 0);
    EXPECT_EQ(LastErrorText(), "earlier");
}

TEST(RunGuarded, TurnsAnythingThrownIntoFalseWithAText) {
    EXPECT_EQ(RunGuarded([]() -> bool { throw std::bad_alloc(); }), 0);
    EXPECT_EQ(LastErrorText(), "Internal error. Out of memory.");
    EXPECT_EQ(RunGuarded([]() -> bool { throw std::runtime_error("x"); }), 0);
    EXPECT_EQ(LastErrorText(), "Internal error. Unexpected failure inside the library.");
    EXPECT_EQ(RunGuarded([]() -> bool { throw 42; }), 0);
    EXPECT_EQ(LastErrorText(), "Internal error. Unexpected failure inside the library.");
}

}  // namespace
}  // namespace varl
