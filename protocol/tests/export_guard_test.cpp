#include "export_guard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#include "failure_texts.h"

// While set, every allocation through operator new fails, as when memory has run out.
bool allocationsFail = false;

void* operator new(std::size_t size) {
    if (allocationsFail) throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
// Not inlined, so that the compiler does not pair a visible malloc with a delete expression.
[[gnu::noinline]] void operator delete(void* memory) noexcept { std::free(memory); }
[[gnu::noinline]] void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace varl {
namespace {

std::string Fetch() {
    char buffer[text::kLongest + 1];
    TakeLastErrorText(buffer);
    return buffer;
}

TEST(RunGuarded, PassesTheResultAndLeavesTheTextOnSuccess) {
    EXPECT_EQ(RunGuarded([] { return Status::Failure(text::kNullRecord); }), 0);
    EXPECT_EQ(RunGuarded([] { return Status(); }), 1);
    EXPECT_EQ(Fetch(), "Argument error. The record pointer is null.");
}

TEST(RunGuarded, TurnsAnythingThrownIntoFalseWithAText) {
    EXPECT_EQ(RunGuarded([]() -> Status { throw std::bad_alloc(); }), 0);
    EXPECT_EQ(Fetch(), "Internal error. Out of memory.");
    EXPECT_EQ(RunGuarded([]() -> Status { throw std::runtime_error("x"); }), 0);
    EXPECT_EQ(Fetch(), "Internal error. Unexpected failure inside the library.");
    EXPECT_EQ(RunGuarded([]() -> Status { throw 42; }), 0);
    EXPECT_EQ(Fetch(), "Internal error. Unexpected failure inside the library.");
}

// The guard itself must not need memory: were it to allocate now, the exception would leave a
// noexcept function and end the caller's program.
TEST(RunGuarded, OutOfMemoryGivesFalseAndATextWhileNothingCanBeAllocated) {
    const VarlBool result = RunGuarded([]() -> Status {
        allocationsFail = true;
        const std::string grown(100, 'x');  // throws: memory has run out
        return Status();
    });
    allocationsFail = false;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Fetch(), "Internal error. Out of memory.");
}

}  // namespace
}  // namespace varl
