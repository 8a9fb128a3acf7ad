#include "trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace varl {
namespace {

struct SwitchRow {
    const char* name;
    std::optional<std::string> value;  // nothing: unset
    bool on;
};

class TraceSwitchTest : public ::testing::TestWithParam<SwitchRow> {
protected:
    ~TraceSwitchTest() override { unsetenv("VARL_TRACE"); }
};

TEST_P(TraceSwitchTest, IsOnForAnyValueButEmptyAndZero) {
    if (GetParam().value) {
        setenv("VARL_TRACE", GetParam().value->c_str(), 1);
    } else {
        unsetenv("VARL_TRACE");
    }
    EXPECT_EQ(Trace::FromEnvironment().on(), GetParam().on);
}

INSTANTIATE_TEST_SUITE_P(Rows, TraceSwitchTest,
                         ::testing::Values(SwitchRow{"unset", std::nullopt, false}, SwitchRow{"empty", "", false},
                                           SwitchRow{"zero", "0", false}, SwitchRow{"one", "1", true},
                                           SwitchRow{"zero_zero", "00", true}, SwitchRow{"word", "yes", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varl
