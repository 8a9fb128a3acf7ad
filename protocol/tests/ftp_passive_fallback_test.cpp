// Uploads from a PC whose host firewall lets in only what belongs to connections the PC opened,
// as firewalld's and ufw's defaults do: the unit's server cannot open the active-mode data
// connection, and the file goes once more in passive mode.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "ftp_lab.h"

namespace ftp_lab {
namespace {

// The firewall on the administrator's side of the lab: loopback and established or related
// traffic accepted, anything else dropped by the chain's policy or, with a refusal rule, refused
// as firewalld refuses it. The table goes with the object.
class PcFirewall {
public:
    explicit PcFirewall(const char* refusal) {
        Nft(std::string("add table inet ftp_test_firewall\n"
                        "add chain inet ftp_test_firewall input { type filter hook input priority 0; policy drop; }\n"
                        "add rule inet ftp_test_firewall input iif lo accept\n"
                        "add rule inet ftp_test_firewall input ct state established,related accept\n") +
            (*refusal != '\0' ? std::string("add rule inet ftp_test_firewall input ") + refusal + "\n" : ""));
    }
    ~PcFirewall() {
        // A destructor cannot fail the test; a table left behind shows in the tests after it.
        if (std::system("nft delete table inet ftp_test_firewall") != 0) {
            std::fputs("could not delete table ftp_test_firewall\n", stderr);
        }
    }
    PcFirewall(const PcFirewall&) = delete;
    PcFirewall& operator=(const PcFirewall&) = delete;

private:
    static void Nft(const std::string& script) {
        FILE* nft = popen("nft -f -", "w");
        if (nft == nullptr) throw std::runtime_error("cannot run nft");
        std::fputs(script.c_str(), nft);
        if (pclose(nft) != 0) throw std::runtime_error("nft refused:\n" + script);
    }
};

struct FirewallCase {
    const char* label;
    const char* refusal;  // the rule after the accepting ones; empty: the policy drops
    bool unitRefusesPassive;
    bool stored;
};

const FirewallCase kFirewallCases[] = {
    {"DropsTheActiveConnection", "", false, true},
    {"RefusesTheActiveConnection", "reject with icmpx type admin-prohibited", false, true},
    {"UnitWithoutPassiveMode", "", true, false},
};

void PrintTo(const FirewallCase& row, std::ostream* out) { *out << row.label; }

std::string Verb(const std::string& command) { return command.substr(0, command.find(' ')); }

class PassiveFallbackTest : public ::testing::TestWithParam<FirewallCase> {};

TEST_P(PassiveFallbackTest, StoresThroughPassiveModeOrFailsWithTheSendText) {
    const FirewallCase& row = GetParam();
    // The lab's own units offer passive mode; a server of their kind on a spare address does not.
    std::unique_ptr<SpareServer> spare;
    if (row.unitRefusesPassive) spare = std::make_unique<SpareServer>("10.77.200.3", std::vector<std::string>{"--refuse-passive"});
    const std::string address = spare ? "10.77.200.3" : kUnitAddressText;
    const std::string home = spare ? spare->Home() : UnitHome();
    EmptyFolder(home);
    CommandLog log(spare ? spare->CommandLogPath() : LabDir() + "/ftp-commands.log", address);
    log.Mark();
    const std::string bytes = RandomBytes(300000);
    const std::string path = MakeLocalFolder() + "/page.bin";
    WriteFile(path, bytes);

    const PcFirewall firewall(row.refusal);
    const UploadOutcome outcome = TracedUpload(ntohl(inet_addr(address.c_str())), path.c_str(), "PAGE.BIN");

    std::string verbs;
    for (const std::string& command : log.Since()) verbs += Verb(command) + " ";
    EXPECT_TRUE(std::regex_search(verbs, std::regex("(EPRT|PORT) .*(EPSV|PASV) "))) << "not active mode, then passive: " << verbs;
    EXPECT_NE(outcome.trace.find("varl: ftp active mode failed: the unit could not open the data connection; "
                                 "storing once more in passive mode\n"),
              std::string::npos)
        << outcome.trace;
    if (row.stored) {
        ASSERT_TRUE(outcome.stored) << outcome.text << "\n" << outcome.trace;
        EXPECT_TRUE(HoldsExactly(home + "/PAGE.BIN", bytes));
        EXPECT_NE(outcome.trace.find("varl: ftp stored the file in passive mode: the unit took 300000 bytes in "),
                  std::string::npos)
            << outcome.trace;
        EXPECT_LT(outcome.seconds, 4.0) << "the active attempt is given up within a few seconds";
    } else {
        EXPECT_FALSE(outcome.stored);
        EXPECT_EQ(outcome.text, kSendText);
        EXPECT_EQ(FileNames(home), std::vector<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(Firewalls, PassiveFallbackTest, ::testing::ValuesIn(kFirewallCases),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace ftp_lab
