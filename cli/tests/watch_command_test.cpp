#include "watch_command.h"

#include <pthread.h>

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "command_test_support.h"

namespace quorrel::cli {
namespace {

using WatchCommand = testing::CommandTest;

// A watch logging to a full disk must not go on losing every event unseen. Were it to go on, its
// third discovery stops it, as Ctrl-C would.
TEST_F(WatchCommand, EndsWithStatusOneOnceStandardOutputCannotBeWritten) {
    fake.State().onCall = [this, caller = pthread_self()](const std::string&) {
        if (fake.CallsOf("VARL_Admin_Discover").size() == 2) pthread_kill(caller, SIGTERM);
    };
    std::istringstream in;
    std::ostream unwritable(nullptr);
    std::ostringstream err;
    const char* arguments[] = {"quorrel", "watch", "--interval", "0"};
    const int status = RunQuorrel(4, arguments, binding, probe, [] { return std::string("1.0"); },
                                  Console{in, unwritable, err, false});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(fake.CallsOf("VARL_Admin_Discover").size(), 1u);
}

}  // namespace
}  // namespace quorrel::cli
