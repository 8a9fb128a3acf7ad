// doctor's judgements from what it saw, without a network: what dropped the answers that reached
// an interface, the reverse-path filter, a captured packet read as a unit's answer, a unit's FTP
// reply, and the JSON that scripts read.
#include <gtest/gtest.h>

#include <sstream>

#include "doctor_capture.h"
#include "doctor_discovery.h"
#include "doctor_reverse_path.h"
#include "doctor_unit.h"

namespace quorrel::cli {
namespace {

constexpr std::uint32_t kFirst = 0x1A2B3;
constexpr std::uint32_t kSecond = 0x1B3C4;

DeviceRecord Unit(std::uint32_t serial) {
    DeviceRecord record{};
    record.serial = serial;
    return record;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : " | ") + line;
    return text;
}

struct DiscoveryRow {
    const char* name;
    bool captured;
    std::map<std::uint32_t, std::uint32_t> reached;  // on eth1
    std::vector<DeviceRecord> found;
    bool firewallBlocks;
    std::set<std::uint32_t> droppedByReversePath;
    CheckStatus status;
    std::string findings;
    std::string fix;
};

class DiscoveryCheckTest : public ::testing::TestWithParam<DiscoveryRow> {};

TEST_P(DiscoveryCheckTest, SaysWhatDroppedTheAnswers) {
    const DiscoveryRow& row = GetParam();
    DiscoveryFacts facts;
    facts.captured = row.captured;
    facts.captureWhyNot = "needs CAP_NET_RAW";
    if (!row.reached.empty()) facts.reached.push_back({"eth1", row.reached});
    facts.units = row.found;
    FirewallFinding ufw("ufw", false);
    ufw.fix = {"ufw allow proto udp from any port 8001"};
    const CheckResult result =
        CheckDiscovery(facts, row.firewallBlocks ? &ufw : nullptr, row.droppedByReversePath, {"wlan0"});
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(Joined(result.findings), row.findings);
    EXPECT_EQ(Joined(result.fix), row.fix);
    EXPECT_EQ(result.notChecked.empty(), row.captured);
}

const std::map<std::uint32_t, std::uint32_t> kTwoAnswers = {{kFirst, 0x0A4D000A}, {kSecond, 0x0A4D000B}};
constexpr const char* kNoneAnswered =
    " | wlan0 is up but has no carrier: is its cable in, and the units switched on?"
    " | Units on a subnet of their own behind a router answer only when asked by address: quorrel doctor --target 10.80.0.0/24, with their subnet.";

INSTANTIATE_TEST_SUITE_P(
    Rows, DiscoveryCheckTest,
    ::testing::Values(
        DiscoveryRow{"all_received", true, kTwoAnswers, {Unit(kFirst), Unit(kSecond)}, true, {}, CheckStatus::Ok,
                     "2 replies reached eth1, and quorrel received all of them.", ""},
        DiscoveryRow{"firewall_drops", true, kTwoAnswers, {}, true, {}, CheckStatus::Problem,
                     "2 replies reached eth1 but none reached quorrel: the host firewall (ufw) drops them.",
                     "ufw allow proto udp from any port 8001"},
        DiscoveryRow{"reverse_path_drops", true, kTwoAnswers, {Unit(kFirst)}, true, {kSecond}, CheckStatus::Problem,
                     "2 replies reached eth1 but only 1 reached quorrel: the strict reverse-path filter drops the others "
                     "(see below).",
                     ""},
        DiscoveryRow{"unknown_drop", true, kTwoAnswers, {Unit(kFirst)}, false, {}, CheckStatus::Problem,
                     "2 replies reached eth1 but only 1 reached quorrel: something on this PC drops them: a firewall rule "
                     "for UDP from source port 8001 that doctor cannot read.",
                     ""},
        DiscoveryRow{"nothing_reached", true, {}, {}, false, {}, CheckStatus::Problem,
                     std::string("No unit answered: no answer reached any interface.") + kNoneAnswered, ""},
        DiscoveryRow{"uncounted_none", false, {}, {}, true, {}, CheckStatus::Problem,
                     std::string("No unit answered. | The host firewall (ufw) drops the units' answers, if any came.") +
                         kNoneAnswered,
                     "ufw allow proto udp from any port 8001"},
        DiscoveryRow{"uncounted_some", false, {}, {Unit(kFirst), Unit(kSecond)}, true, {}, CheckStatus::Ok,
                     "2 units answered.", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DoctorReversePath, OnlyAStrictFilterThatDroppedAnAnswerIsAProblem) {
    const auto check = [](int filter, bool received) {
        return CheckReversePath(true, {{"eth2", filter, {{0xA3D4E, 0xC0A80164, received}}}});
    };
    EXPECT_EQ(check(1, true).status, CheckStatus::Ok);
    EXPECT_EQ(check(2, false).status, CheckStatus::Ok);
    const CheckResult strict = check(1, false);
    EXPECT_EQ(strict.status, CheckStatus::Problem);
    EXPECT_EQ(Joined(strict.findings), "A3D4E answered on eth2 from 192.168.1.100, outside eth2's subnets, and eth2's "
                                       "strict reverse-path filter (rp_filter 1) drops its answers.");
    EXPECT_EQ(strict.fix.front(), "sysctl -w net.ipv4.conf.eth2.rp_filter=2");
    EXPECT_EQ(DroppedByReversePath({{"eth2", 1, {{0xA3D4E, 0xC0A80164, false}, {0xA1B2C, 0xC0A80165, true}}}}),
              std::set<std::uint32_t>{0xA3D4E});
}

// An IPv4 packet from 10.77.0.10 carrying a UDP datagram from source port sourcePort.
std::vector<unsigned char> Packet(const std::string& text, unsigned sourcePort = 8001, std::size_t udpLengthCut = 0) {
    const std::size_t udpLength = 8 + text.size() + udpLengthCut;
    std::string bytes = {0x45, 0, 0, 0, 0, 0, 0, 0, 64, 17, 0, 0, 10, 77, 0, 10, 10, 77, 0, 1};
    bytes += {static_cast<char>(sourcePort >> 8), static_cast<char>(sourcePort & 0xFF), static_cast<char>(0xC3), 0x50,
              static_cast<char>(udpLength >> 8), static_cast<char>(udpLength & 0xFF), 0, 0};
    bytes += text;
    return {bytes.begin(), bytes.end()};
}

TEST(DoctorCapture, ReadsAUnitsAnswerAndNothingElse) {
    SeenReply reply;
    const auto packet = Packet("1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100");
    ASSERT_TRUE(ReadReplyPacket(packet.data(), packet.size(), reply));
    EXPECT_EQ(reply.serial, 0x1A2B3u);
    EXPECT_EQ(reply.source, 0x0A4D000Au);
    for (const auto& other : {Packet("1A2B3 0", 8002), Packet("not a reply"), Packet("1A2B3 0", 8001, 1)}) {
        EXPECT_FALSE(ReadReplyPacket(other.data(), other.size(), reply));
    }
}

// The unit's server chooses its reply's bytes: a control character or a byte that is not UTF-8.
TEST(DoctorUnit, ShowsTheServersReplyInPrintableText) {
    const DeviceRecord unit = Unit(kFirst);
    const CheckResult check =
        CheckUnit(kFirst, &unit, {FtpStep::Refused, FtpStep::NotTried, FtpStep::NotTried, "\"530 Non \xe9\x1b[2J\""});
    EXPECT_EQ(Joined(check.findings),
              "1A2B3 at 0.0.0.0: the FTP server refuses the units' login (\"530 Non \\xe9\\x1b[2J\"), so uploads fail.");
    std::ostringstream out;
    WriteReportJson(out, {check});
    EXPECT_EQ(nlohmann::json::parse(out.str())["checks"][0]["findings"][0], check.findings[0]);
}

TEST(DoctorReport, JsonKeepsTheFieldNamesScriptsRead) {
    CheckResult check("reverse_path_filter");
    check.status = CheckStatus::NotChecked;
    check.findings = {"eth\xe9 is an interface's name as the kernel keeps it"};
    check.notChecked = {"why"};
    check.details["interfaces"] = nlohmann::json::array();
    std::ostringstream out;
    WriteReportJson(out, {check});
    const auto report = nlohmann::json::parse(out.str());
    EXPECT_EQ(report["problems"], 0);
    const auto& written = report["checks"].at(0);
    EXPECT_EQ(written["check"], "reverse_path_filter");
    EXPECT_EQ(written["status"], "not_checked");
    EXPECT_EQ(written["not_checked"], nlohmann::json::array({"why"}));
    EXPECT_EQ(written["findings"][0], "eth\uFFFD is an interface's name as the kernel keeps it");
    EXPECT_TRUE(written.contains("findings") && written.contains("fix") && written.contains("interfaces"));
}

}  // namespace
}  // namespace quorrel::cli
