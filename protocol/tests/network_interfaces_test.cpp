#include "network_interfaces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripted_socket.h"

namespace varl {
namespace {

using testing::ScriptedInterfaces;
using testing::TraceCapture;

struct ChoiceRow {
    const char* name;
    void (*change)(NetworkInterface&);
    const char* wanted;
    const char* whySkipped;  // empty when eth0 is chosen
};

class ChoiceTest : public ::testing::TestWithParam<ChoiceRow> {};

TEST_P(ChoiceTest, TakesOnlyWhatCanCarryABroadcastAndSaysWhyNot) {
    NetworkInterface candidate = ScriptedInterfaces::Usable("eth0", 2, 0x0A4D0001);
    GetParam().change(candidate);
    const TraceCapture capture;
    const InterfaceChoice choice = ChooseInterfaces({candidate}, GetParam().wanted, capture.trace());
    const std::string why = GetParam().whySkipped;
    EXPECT_EQ(choice.chosen.size(), why.empty() ? 1u : 0u);
    EXPECT_EQ(choice.leftOut.empty() ? "" : choice.leftOut.front().why, why);
    const std::string trace = capture.Text();
    const std::string skipped = trace.substr(0, trace.find("varl: VARL_INTERFACES names"));
    EXPECT_EQ(skipped, why.empty() ? "" : "varl: skipped eth0: " + why + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChoiceTest,
    ::testing::Values(ChoiceRow{"usable", [](NetworkInterface&) {}, "", ""},
                      ChoiceRow{"loopback", [](NetworkInterface& i) { i.loopback = true; }, "", "loopback"},
                      ChoiceRow{"down", [](NetworkInterface& i) { i.up = false; }, "", "down"},
                      ChoiceRow{"no_carrier", [](NetworkInterface& i) { i.running = false; }, "",
                                "not running (no carrier)"},
                      ChoiceRow{"point_to_point", [](NetworkInterface& i) { i.broadcast = false; }, "",
                                "cannot broadcast"},
                      ChoiceRow{"no_ipv4_address", [](NetworkInterface& i) { i.hasAddress = false; }, "",
                                "no IPv4 address"},
                      ChoiceRow{"named", [](NetworkInterface&) {}, "wlan0 eth0", ""},
                      ChoiceRow{"not_named", [](NetworkInterface&) {}, "wlan0", "not named in VARL_INTERFACES"},
                      ChoiceRow{"named_but_down", [](NetworkInterface& i) { i.up = false; }, "eth0", "down"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Choice, TracesNamesNoInterfaceHas) {
    const TraceCapture capture;
    const InterfaceChoice choice =
        ChooseInterfaces({ScriptedInterfaces::Usable("eth0", 2, 0x0A4D0001)}, "eth0,bogus", capture.trace());
    EXPECT_EQ(choice.chosen.size(), 1u);
    EXPECT_EQ(capture.Text(), "varl: VARL_INTERFACES names bogus, which no interface has\n");
}

}  // namespace
}  // namespace varl
