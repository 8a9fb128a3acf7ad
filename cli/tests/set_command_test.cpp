#include "set_command.h"

#include <gtest/gtest.h>

#include <functional>

#include "command_test_support.h"

namespace quorrel::cli {
namespace {

using testing::CommandTest;
using testing::kConfirmationRound;
using testing::kSiteDiscovery;
using varl::testing::MakeRecord;

constexpr const char* kTableHeader = "SERIAL  DHCP  ADDRESS     MASK         GATEWAY    CHIP\n";

struct SetRow {
    const char* name;
    std::vector<const char*> arguments;
    std::function<void(fake_varl::SiteUnit&)> unit;  // what 1B3C4 does
    int status;
    std::vector<DeviceRecord> sent;
    std::string out, err;
    std::size_t confirmationRounds;
};

class SetCommandTest : public CommandTest, public ::testing::WithParamInterface<SetRow> {};

TEST_P(SetCommandTest, SendsTheRecordThenConfirmsInShortRounds) {
    const SetRow& row = GetParam();
    if (row.unit) row.unit(SiteUnit(0x1B3C4));
    const testing::Outcome run = Run(row.arguments);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(SentRecords(), row.sent);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, row.err);
    std::vector expected = {kSiteDiscovery};
    expected.insert(expected.end(), row.confirmationRounds, kConfirmationRound);
    EXPECT_EQ(Discoveries(), expected);
}

const DeviceRecord kDhcpSent = MakeRecord(0x1B3C4, 1, 0, 0, 0, "QX-200");

INSTANTIATE_TEST_SUITE_P(
    Rows, SetCommandTest,
    ::testing::Values(
        SetRow{"static_confirmed", {"set", "1b3c4", "--static", "10.77.1.11/16", "--gateway", "10.77.0.1"}, {}, 0,
               {MakeRecord(0x1B3C4, 0, 0x0A4D010B, 0xFFFF0000, 0x0A4D0001, "QX-200")},
               kTableHeader + std::string("1B3C4   Off   10.77.1.11  255.255.0.0  10.77.0.1  QX-200\n"), "", 1},
        SetRow{"gateway_outside_the_subnet_warned_and_sent",
               {"set", "1B3C4", "--static", "10.77.1.11", "--mask", "255.255.255.0", "--gateway", "10.77.0.1",
                "--no-verify"},
               {}, 0, {MakeRecord(0x1B3C4, 0, 0x0A4D010B, 0xFFFFFF00, 0x0A4D0001, "QX-200")},
               "1B3C4: sent DHCP Off, address 10.77.1.11, mask 255.255.255.0, gateway 10.77.0.1 (not confirmed)\n",
               "quorrel: warning: gateway 10.77.0.1 lies outside the subnet 10.77.1.0 mask 255.255.255.0 of address "
               "10.77.1.11\n",
               0},
        SetRow{"dhcp_confirmed", {"set", "1B3C4", "--dhcp"}, {}, 0, {kDhcpSent},
               kTableHeader + std::string("1B3C4   On    10.77.0.11  255.255.0.0  10.77.0.1  QX-200\n"), "", 1},
        SetRow{"never_confirms", {"set", "1B3C4", "--dhcp"},
               [](fake_varl::SiteUnit& unit) { unit.takesConfiguration = false; }, 1, {kDhcpSent}, "",
               "quorrel: 1B3C4 not confirmed: asked for DHCP On, the unit reports DHCP Off, address 10.77.0.11, mask "
               "255.255.0.0, gateway 10.77.0.1\n",
               12},
        SetRow{"vanishes", {"set", "1B3C4", "--dhcp"},
               [](fake_varl::SiteUnit& unit) { unit.answersAfterConfiguration = false; }, 1, {kDhcpSent}, "",
               "quorrel: 1B3C4 not confirmed: asked for DHCP On, the unit no longer answers\n", 12},
        SetRow{"unit_reporting_it_already_sent_nothing",
               {"set", "1B3C4", "--static", "10.77.0.11", "--mask", "255.255.0.0", "--gateway", "10.77.0.1"}, {}, 0,
               {}, kTableHeader + std::string("1B3C4   Off   10.77.0.11  255.255.0.0  10.77.0.1  QX-200\n"), "", 0},
        SetRow{"dry_run_sends_nothing", {"set", "1B3C4", "--dhcp", "--dry-run"}, {}, 0, {},
               "1B3C4 would be set to DHCP On (reports DHCP Off, address 10.77.0.11, mask 255.255.0.0, gateway "
               "10.77.0.1)\n",
               "", 0},
        SetRow{"json_confirmed", {"set", "1B3C4", "--dhcp", "--format", "json"}, {}, 0, {kDhcpSent},
               R"([
  {
    "serial": "1B3C4",
    "result": "confirmed",
    "before": {
      "dhcp": 0,
      "address": "10.77.0.11",
      "mask": "255.255.0.0",
      "gateway": "10.77.0.1"
    },
    "wanted": {
      "dhcp": 1,
      "address": null,
      "mask": null,
      "gateway": null
    },
    "after": {
      "dhcp": 1,
      "address": "10.77.0.11",
      "mask": "255.255.0.0",
      "gateway": "10.77.0.1"
    }
  }
]
)",
               "", 1},
        SetRow{"json_dry_run_of_a_unit_that_did_not_answer",
               {"set", "99999", "--static", "10.77.1.99/24", "--force", "--dry-run", "--format", "json"}, {}, 0, {},
               R"([
  {
    "serial": "99999",
    "result": "would-set",
    "before": null,
    "wanted": {
      "dhcp": 0,
      "address": "10.77.1.99",
      "mask": "255.255.255.0",
      "gateway": "0.0.0.0"
    },
    "after": null
  }
]
)",
               "", 0},
        SetRow{"unknown_serial_sends_nothing", {"set", "99999", "--dhcp"}, {}, 1, {}, "",
               "quorrel: no unit with serial 99999 answered; nothing sent (--force sends anyway)\n", 0},
        SetRow{"unknown_serial_forced", {"set", "99999", "--dhcp", "--force", "--no-verify"}, {}, 0,
               {MakeRecord(0x99999, 1, 0, 0, 0, "")}, "99999: sent DHCP On (not confirmed)\n", "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorrel::cli
