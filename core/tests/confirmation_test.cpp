#include "confirmation.h"

#include <gtest/gtest.h>

#include <numeric>
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

const DeviceRecord kOldA = MakeRecord(0xA, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX");
const DeviceRecord kOldB = MakeRecord(0xB, 0, 0x0A4D000B, 0xFFFF0000, 0x0A4D0001, "QX");
const DeviceRecord kNewA = MakeRecord(0xA, 1, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX");
const DeviceRecord kNewB = MakeRecord(0xB, 0, 0x0A4D0063, 0xFFFFFF00, 0x0A4D0001, "QX");
const std::vector<SentConfiguration> kSentToBoth = {{0xA, Addressing::Dhcp()},
                                                    {0xB, Addressing::Static(0x0A4D0063, 0xFFFFFF00, 0x0A4D0001)}};

class ConfirmationTest : public ::testing::Test {
protected:
    ConfirmationTest() : fake(FAKE_VARL_FULL), binding(FAKE_VARL_FULL) { EXPECT_TRUE(binding.LoadProtocolLibrary()); }

    Confirmation Confirm(std::vector<DiscoverAnswer> answers, std::uint32_t timeoutMs = 2000) {
        fake.State().discoverAnswers.assign(answers.begin(), answers.end());
        return ConfirmConfigurations(binding, kSentToBoth, 4096, timeoutMs);
    }

    // The time-out of each discovery asked for, in order.
    std::vector<std::uint32_t> RoundTimeOuts() const {
        return fake.CalledWith("VARL_Admin_Discover", &fake_varl::RecordedCall::timeoutMs);
    }

    FakeLibrary fake;
    LibraryBinding binding;
};

TEST_F(ConfirmationTest, EndsAfterTheFirstRoundInWhichEveryUnitReportsItsNewValues) {
    const Confirmation confirmation = Confirm({Answer({kNewA, kOldB}), Answer({kOldB, kNewA}), Answer({kNewB, kOldA})});
    EXPECT_EQ(confirmation.confirmed, (std::set<std::uint32_t>{0xA, 0xB}));
    EXPECT_EQ(RoundTimeOuts(), (std::vector<std::uint32_t>{500, 500, 500}));
    EXPECT_EQ(confirmation.lastReports.at(0xA), kOldA) << "what it reported last";
    EXPECT_EQ(fake.CallsOf("VARL_Admin_Discover")[0].capacity, 4096u);
    EXPECT_EQ(confirmation.failure, std::nullopt);
}

struct ScheduleRow {
    const char* name;
    std::uint32_t timeoutMs;
    std::vector<std::uint32_t> rounds;
};

class ConfirmationScheduleTest : public ConfirmationTest, public ::testing::WithParamInterface<ScheduleRow> {};

TEST_P(ConfirmationScheduleTest, GivesUpAfterThreeTimeOutsInQuarterRoundsWhenAUnitNeverReports) {
    fake.State().site = {{kNewA}, {kOldB}};
    const Confirmation confirmation = Confirm({}, GetParam().timeoutMs);
    EXPECT_EQ(RoundTimeOuts(), GetParam().rounds);
    EXPECT_EQ(std::accumulate(GetParam().rounds.begin(), GetParam().rounds.end(), 0u), 3 * GetParam().timeoutMs);
    EXPECT_EQ(confirmation.confirmed, std::set<std::uint32_t>{0xA});
    EXPECT_EQ(confirmation.lastReports.at(0xB), kOldB);
}

INSTANTIATE_TEST_SUITE_P(Rows, ConfirmationScheduleTest,
                         ::testing::Values(ScheduleRow{"default", 2000, std::vector<std::uint32_t>(12, 500)},
                                           ScheduleRow{"quarter_rounded_up", 10, {3, 3, 3, 3, 3, 3, 3, 3, 3, 3}},
                                           ScheduleRow{"shortest", 1, {1, 1, 1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfirmationTest, AUnitThatNoLongerAnswersHasNoReport) {
    fake.State().site = {{kNewA}};
    const Confirmation confirmation = Confirm({});
    EXPECT_EQ(confirmation.confirmed, std::set<std::uint32_t>{0xA});
    EXPECT_EQ(confirmation.lastReports.count(0xB), 0u);
    EXPECT_EQ(RoundTimeOuts().size(), 12u);
}

TEST_F(ConfirmationTest, AFailedDiscoveryEndsItAndSaysWhy) {
    fake.State().errorText = "Communications error. Receive error. (WSAEMSGSIZE)";
    const Confirmation confirmation = Confirm({Answer({kNewA}), DiscoverAnswer{0, 0, {}}});
    EXPECT_EQ(confirmation.confirmed, std::set<std::uint32_t>{0xA});
    EXPECT_EQ(confirmation.failure,
              (CallFailure{FailureKind::NetworkOrUnit, "Communications error. Receive error. (WSAEMSGSIZE)"}));
    EXPECT_EQ(RoundTimeOuts().size(), 2u);
}

}  // namespace
}  // namespace quorrel
