#include "address_checks.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "command_test_support.h"
#include "library_environment.h"

namespace quorrel::cli {
namespace {

constexpr const char* kRefused = "quorrel: nothing sent (--allow-duplicate-address sends anyway)\n";

struct CheckRow {
    const char* name;
    std::vector<const char*> arguments;
    std::string file;  // apply's standard input
    ProbeReport probe;
    int status;
    std::string err;
    std::size_t sent;
    // The addresses probed, each with the address its unit reported.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> probed;
};

class AddressCheckTest : public testing::CommandTest, public ::testing::WithParamInterface<CheckRow> {
protected:
    ~AddressCheckTest() override { unsetenv(kTraceVariable); }
};

TEST_P(AddressCheckTest, RefusesAnAddressInUseBeforeSendingAndProbesOnlyAddressesNoUnitReports) {
    const CheckRow& row = GetParam();
    probe.report = row.probe;
    const testing::Outcome run = Run(row.arguments, row.file);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(SentRecords().size(), row.sent);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> probed;
    for (const auto& call : probe.asked) {
        for (const ProbedAddress& address : call) probed.emplace_back(address.address, address.unitAddress);
    }
    EXPECT_EQ(probed, row.probed);
}

ProbeReport HeldBy(std::uint32_t address) { return {false, {{address, "02:00:00:00:c0:de", "lab0", false}}, {}, {}}; }

const std::string kHeader = "serial,dhcp,address,mask,gateway\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, AddressCheckTest,
    ::testing::Values(
        CheckRow{"set_onto_another_units_address", {"set", "1B3C4", "--static", "10.77.0.12/16"}, "", {}, 2,
                 "quorrel: 1B3C4: 10.77.0.12 is the address of unit 1C4D5\n" + std::string(kRefused), 0, {}},
        CheckRow{"set_allowed_onto_it", {"set", "1B3C4", "--static", "10.77.0.12/16", "--allow-duplicate-address"}, "",
                 HeldBy(0x0A4D000C), 0, "", 1, {}},
        CheckRow{"set_keeping_its_own_address", {"set", "1B3C4", "--static", "10.77.0.11/24"}, "", {}, 0, "", 1, {}},
        CheckRow{"set_free_address", {"set", "1B3C4", "--static", "10.77.1.11/16"}, "", {}, 0, "", 1,
                 {{0x0A4D010B, 0x0A4D000B}}},
        CheckRow{"set_held_by_a_host", {"set", "1B3C4", "--static", "10.77.1.11/16"}, "", HeldBy(0x0A4D010B), 2,
                 "quorrel: 1B3C4: 10.77.1.11 is in use on lab0 by 02:00:00:00:c0:de\n" + std::string(kRefused), 0,
                 {{0x0A4D010B, 0x0A4D000B}}},
        CheckRow{"set_unknown_unit_forced", {"set", "99999", "--static", "10.77.1.99/16", "--force", "--no-verify"}, "",
                 {}, 0, "", 1, {{0x0A4D0163, 0}}},
        CheckRow{"without_capability_verbose_says_so", {"set", "1B3C4", "--static", "10.77.1.11/16", "--verbose"}, "",
                 {true, {}, {"a note"}, {}}, 0,
                 "quorrel: not probing the new addresses with ARP: the process lacks CAP_NET_RAW\nquorrel: a note\n", 1,
                 {{0x0A4D010B, 0x0A4D000B}}},
        CheckRow{"a_link_the_probe_cannot_use_is_warned", {"set", "1B3C4", "--static", "10.77.1.11/16"}, "",
                 {false, {}, {"a note"}, {"cannot probe on lab0"}}, 0, "quorrel: warning: cannot probe on lab0\n", 1,
                 {{0x0A4D010B, 0x0A4D000B}}},
        CheckRow{"apply_two_rows_one_address", {"apply", "-"},
                 kHeader + "1B3C4,0,10.77.1.11,255.255.0.0,0.0.0.0\n1C4D5,1,,,\n1D5E6,0,10.77.1.11,255.255.0.0,0.0.0.0\n",
                 {}, 2,
                 "quorrel: (standard input):4: 1D5E6: address 10.77.1.11 is given on line 2 too\n" +
                     std::string(kRefused),
                 0, {}},
        CheckRow{"apply_onto_a_unit_that_stays", {"apply", "-"}, kHeader + "1B3C4,0,10.77.0.14,255.255.0.0,10.77.0.1\n",
                 {}, 2, "quorrel: (standard input):2: 1B3C4: 10.77.0.14 is the address of unit 1E6F7\n" + std::string(kRefused),
                 0, {}},
        CheckRow{"apply_dry_run_probes_nothing", {"apply", "--dry-run", "-"},
                 kHeader + "1C4D5,0,10.77.1.12,255.255.0.0,10.77.0.1\n", HeldBy(0x0A4D010C), 0, "", 0, {}},
        CheckRow{"apply_swapping_two_units_addresses", {"apply", "-"},
                 kHeader + "1A2B3,0,10.77.0.11,255.255.0.0,10.77.0.1\n1B3C4,0,10.77.0.10,255.255.0.0,10.77.0.1\n"
                           "1E6F7,0,10.77.1.14,255.255.0.0,10.77.0.1\n",
                 {}, 0, "", 3, {{0x0A4D010E, 0x0A4D000E}}},
        CheckRow{"apply_held_by_a_host", {"apply", "-"},
                 kHeader + "1B3C4,1,,,\n1E6F7,0,10.77.1.14,255.255.0.0,10.77.0.1\n", HeldBy(0x0A4D010E), 2,
                 "quorrel: (standard input):3: 1E6F7: 10.77.1.14 is in use on lab0 by 02:00:00:00:c0:de\n" +
                     std::string(kRefused),
                 0, {{0x0A4D010E, 0x0A4D000E}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorrel::cli
