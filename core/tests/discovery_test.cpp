#include "discovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_record_testing.h"
#include "fake_varl/fake_library.h"
#include "library_binding.h"

namespace quorrel {
namespace {

using fake_varl::Answer;
using fake_varl::DiscoverAnswer;
using testing::FakeLibrary;
using varl::testing::MakeRecord;

std::vector<DeviceRecord> Units(std::uint32_t count) {
    std::vector<DeviceRecord> units;
    for (std::uint32_t i = 0; i < count; ++i) units.push_back(MakeRecord(0x10000 + i, 0, 0x0A4D000A + i, 0, 0, "QX"));
    return units;
}

const DiscoverAnswer kFails{0, 0, {}};

class DiscoveryTest : public ::testing::Test {
protected:
    explicit DiscoveryTest(const char* path = FAKE_VARL_FULL) : fake(path), binding(path) {
        EXPECT_TRUE(binding.LoadProtocolLibrary());
    }

    // Runs a discovery and notes, in order, each hook and each call with the capacity it offered.
    Discovery Discover(std::vector<DiscoverAnswer> answers) {
        fake.State().discoverAnswers.assign(answers.begin(), answers.end());
        fake.State().onCall = [this](const std::string& name) {
            if (name == "VARL_Admin_Discover") events.push_back("call");
        };
        return DiscoverAllUnits(binding, firstCapacity, kDiscoveryTimeoutMs,
                                {[this] { events.push_back("first"); }, [this] { events.push_back("second"); }});
    }

    std::vector<std::uint32_t> Capacities() const {
        return fake.CalledWith("VARL_Admin_Discover", &fake_varl::RecordedCall::capacity);
    }

    FakeLibrary fake;
    LibraryBinding binding;
    std::uint32_t firstCapacity = 4;
    std::vector<std::string> events;
};

TEST_F(DiscoveryTest, FourUnitsTakeOneCall) {
    const Discovery found = Discover({Answer(Units(4))});
    EXPECT_EQ(found.units, Units(4));
    EXPECT_EQ(found.failure, std::nullopt);
    EXPECT_EQ(Capacities(), std::vector<std::uint32_t>{4});
    EXPECT_EQ(fake.CallsOf("VARL_Admin_Discover")[0].timeoutMs, 2000u);
    EXPECT_EQ(events, (std::vector<std::string>{"first", "call"}));
}

TEST_F(DiscoveryTest, MoreUnitsAskAgainWithRoomForEveryOne) {
    const Discovery found = Discover({Answer(Units(6)), Answer(Units(6))});
    EXPECT_EQ(found.units, Units(6));
    EXPECT_EQ(Capacities(), (std::vector<std::uint32_t>{4, 6}));
    EXPECT_EQ(events, (std::vector<std::string>{"first", "call", "second", "call"}));
}

TEST_F(DiscoveryTest, ARoomierFirstCallAsksAgainOnlyWhenMoreAnswer) {
    firstCapacity = 4096;
    EXPECT_EQ(Discover({Answer(Units(40))}).units, Units(40));
    EXPECT_EQ(Capacities(), std::vector<std::uint32_t>{4096});
    EXPECT_EQ(Discover({Answer(Units(4097)), Answer(Units(4097))}).units, Units(4097));
    EXPECT_EQ(Capacities(), (std::vector<std::uint32_t>{4096, 4096, 4097}));
}

TEST_F(DiscoveryTest, ASecondCallCountingMoreThanItsArrayListsOnlyTheRecordsItHolds) {
    DiscoverAnswer second = Answer(Units(7));
    const Discovery found = Discover({Answer(Units(6)), second});
    EXPECT_EQ(found.units, Units(6));
}

TEST_F(DiscoveryTest, NoUnitIsNoFailure) {
    const Discovery found = Discover({Answer({})});
    EXPECT_TRUE(found.units.empty());
    EXPECT_EQ(found.failure, std::nullopt);
}

struct FailureRow {
    const char* name;
    std::vector<DiscoverAnswer> answers;
    std::vector<std::uint32_t> capacities;
    const char* text;
};

class DiscoveryFailureTest : public DiscoveryTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(DiscoveryFailureTest, ListsNoUnitAndGivesTheText) {
    fake.State().errorText = "Communications error. Receive error. (WSAEMSGSIZE)";
    const Discovery found = Discover(GetParam().answers);
    EXPECT_TRUE(found.units.empty());
    ASSERT_TRUE(found.failure.has_value());
    EXPECT_EQ(found.failure->text, GetParam().text);
    EXPECT_EQ(Capacities(), GetParam().capacities);
}

// A count no five-digit serial allows would make the program allocate gigabytes for nothing.
INSTANTIATE_TEST_SUITE_P(
    Rows, DiscoveryFailureTest,
    ::testing::Values(
        FailureRow{"first_call", {kFails}, {4}, "Communications error. Receive error. (WSAEMSGSIZE)"},
        FailureRow{"second_call", {Answer(Units(5)), kFails}, {4, 5}, "Communications error. Receive error. (WSAEMSGSIZE)"},
        FailureRow{"count_above_every_serial", {DiscoverAnswer{1, kMostUnits + 1, {}}}, {4}, "Driver interface error."},
        FailureRow{"largest_count", {DiscoverAnswer{1, 0xFFFFFFFF, {}}}, {4}, "Driver interface error."}),
    [](const auto& info) { return std::string(info.param.name); });

class DiscoveryWithoutExportTest : public DiscoveryTest {
protected:
    DiscoveryWithoutExportTest() : DiscoveryTest(FAKE_VARL_NO_DISCOVER) {}
};

TEST_F(DiscoveryWithoutExportTest, IsADriverInterfaceErrorBeforeAnyHook) {
    const Discovery found = Discover({});
    EXPECT_EQ(found.failure, DriverInterfaceError());
    EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace quorrel
