// The library through its real exports on a PC with two network adapters: the lab's second link
// (scripts/lab --units 6 --second-link) carries units that only a send out of lab2 reaches, one of
// them in no subnet of the PC. Each test loads the two links' unit table again.
#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "device_record_testing.h"
#include "lab_client.h"
#include "lab_discovery.h"
#include "lab_output_rule.h"
#include "lab_units.h"
#include "varl.h"

namespace {

using sim::lab::DatagramLog;
using sim::lab::LoadUnitTable;
using sim::lab::ReadFile;
using varl::testing::Environment;
using varl::testing::Found;
using varl::testing::LabOutputRule;
using varl::testing::MakeRecord;
using varl::testing::TakeLastError;

constexpr uint32_t kTimeOutMs = 300;
constexpr const char* kNoUsableInterface = "Communications error. VARL_INTERFACES names no usable interface.";

// The units of the lab's two links: six on the first, then A1B2C, A2C3D and A3D4E on the second.
const std::vector<sim::SimulatedUnit> kUnits = sim::TwoLinkLabUnits(6);
const std::string kTable = sim::FormatUnitTable(kUnits);
constexpr uint32_t kForeignUnit = 0xA3D4E;  // 192.168.1.100/24

std::set<uint32_t> SerialsOn(const char* link) {
    std::set<uint32_t> serials;
    for (const sim::SimulatedUnit& unit : kUnits) {
        if (link == nullptr || unit.link == link) serials.insert(unit.serial);
    }
    return serials;
}

Found Discover() { return varl::testing::Discover(kTimeOutMs); }

// Standard error of this process goes to a file for the object's life.
class StandardErrorCapture {
public:
    StandardErrorCapture() : path_(sim::lab::LabDirectory() + "/stderr-" + std::to_string(++captures_)) {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int file = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDERR_FILENO);
        close(file);
    }
    ~StandardErrorCapture() { Restore(); }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    // Ends the capture and gives what was written.
    std::string Text() {
        Restore();
        return ReadFile(path_);
    }

private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }

    static inline int captures_ = 0;
    std::string path_;
    int saved_ = -1;
};

class TwoLinksTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("LAB_PC_SECOND_ADDRESS"), nullptr) << "run this test inside scripts/lab --second-link";
        unsetenv("VARL_INTERFACES");
        unsetenv("VARL_TRACE");
        ASSERT_TRUE(LoadUnitTable(kTable, static_cast<int>(kUnits.size())));
    }
};

TEST_F(TwoLinksTest, DiscoveryFindsTheUnitsOfBothLinksWithOneRequestOnEach) {
    DatagramLog log;
    const Found found = Discover();
    ASSERT_TRUE(found.ok) << TakeLastError();
    EXPECT_EQ(found.records.size(), kUnits.size());
    EXPECT_EQ(found.Serials(), SerialsOn(nullptr));
    ASSERT_NE(found.Unit(kForeignUnit), nullptr);
    EXPECT_EQ(*found.Unit(kForeignUnit), MakeRecord(kForeignUnit, 0, 0xC0A80164, 0xFFFFFF00, 0xC0A80101, "QX-100"));

    // lab2 has two addresses and is sent on once, from its first.
    std::vector<std::string> requests;
    for (const auto& datagram : log.Since(2)) requests.push_back(datagram.link + " " + datagram.sourceAddress + " " + datagram.bytes);
    std::sort(requests.begin(), requests.end());
    EXPECT_EQ(requests, (std::vector<std::string>{"lab1 10.77.0.1 0 1", "lab3 10.78.0.1 0 1"}));
}

struct WantedRow {
    const char* name;
    const char* wanted;
    const char* link;  // whose units are found; null for both
};

class WantedInterfacesTest : public TwoLinksTest, public ::testing::WithParamInterface<WantedRow> {};

TEST_P(WantedInterfacesTest, FindOnlyTheUnitsOfTheLinksNamed) {
    const Environment wanted("VARL_INTERFACES", GetParam().wanted);
    const Found found = Discover();
    ASSERT_TRUE(found.ok) << TakeLastError();
    EXPECT_EQ(found.Serials(), SerialsOn(GetParam().link));
}

INSTANTIATE_TEST_SUITE_P(Rows, WantedInterfacesTest,
                         ::testing::Values(WantedRow{"first_link", "lab0", sim::kFirstLink},
                                           WantedRow{"second_link", "lab2", sim::kSecondLink},
                                           WantedRow{"both_and_an_unknown_name", "nosuch, lab2 lab0", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TwoLinksTest, NamingNoUsableInterfaceFailsEveryExchangeWithTheText) {
    const Environment wanted("VARL_INTERFACES", "lo nosuch");
    DatagramLog log;
    uint32_t count = 5;
    EXPECT_FALSE(VARL_Admin_Discover(&count, nullptr, kTimeOutMs));
    EXPECT_EQ(TakeLastError(), kNoUsableInterface);
    EXPECT_EQ(count, 5u);
    DeviceRecord record{};
    EXPECT_FALSE(VARL_Admin_GetConfig(0, &record, kTimeOutMs));
    EXPECT_EQ(TakeLastError(), kNoUsableInterface);
    EXPECT_FALSE(VARL_Admin_SetConfig(0, &record));
    EXPECT_EQ(TakeLastError(), kNoUsableInterface);
    EXPECT_TRUE(log.Since(1, std::chrono::milliseconds(200)).empty()) << "something was sent";
}

TEST_F(TwoLinksTest, ALinkWhoseSendFailsDoesNotStopTheOther) {
    // Every datagram out of lab0, the first sent on, is dropped, so that the send there fails at
    // once (EPERM), as one to a link pulled out between listing the interfaces and sending would.
    const LabOutputRule failing("oifname lab0 udp dport 8001 drop");
    const Found found = Discover();
    ASSERT_TRUE(found.ok) << TakeLastError();
    EXPECT_EQ(found.Serials(), SerialsOn(sim::kSecondLink));

    // Only when every send fails does the call fail, with the last one's error (EPERM, which has
    // no Windows Sockets name).
    const Environment wanted("VARL_INTERFACES", "lab0");
    uint32_t count = 0;
    EXPECT_FALSE(VARL_Admin_Discover(&count, nullptr, kTimeOutMs));
    EXPECT_EQ(TakeLastError(), "Communications error. Could not send message. ((unknown socket error))");
}

TEST_F(TwoLinksTest, SetConfigReachesASecondLinkUnitOnceAndDiscoverySeesTheChange) {
    DatagramLog log;
    const DeviceRecord changed = MakeRecord(0xA2C3D, 0, 0x0A4E004D, 0xFFFF0000, 0x0A4E0001, "QX-200");
    ASSERT_TRUE(VARL_Admin_SetConfig(0xA2C3D, &changed)) << TakeLastError();
    const auto received = log.Since(2);
    std::vector<std::string> onSecondLink;
    for (const auto& datagram : received) {
        if (datagram.link == sim::kSecondLink) onSecondLink.push_back(datagram.bytes);
    }
    EXPECT_EQ(onSecondLink, std::vector<std::string>{"A2C3D 5 0 10.78.0.77 255.255.0.0 10.78.0.1"});

    const Found found = Discover();
    ASSERT_TRUE(found.ok) << TakeLastError();
    ASSERT_NE(found.Unit(0xA2C3D), nullptr);
    EXPECT_EQ(*found.Unit(0xA2C3D), changed);
}

struct GetConfigRow {
    const char* name;
    const char* link;
};

class GetConfigFromEitherLinkTest : public TwoLinksTest, public ::testing::WithParamInterface<GetConfigRow> {};

TEST_P(GetConfigFromEitherLinkTest, IsAnsweredByTheOnlyUnit) {
    std::vector<sim::SimulatedUnit> only;
    std::copy_if(kUnits.begin(), kUnits.end(), std::back_inserter(only),
                 [](const auto& unit) { return unit.link == GetParam().link; });
    only.resize(1);
    ASSERT_TRUE(LoadUnitTable(sim::FormatUnitTable(only), 1));
    DeviceRecord record{};
    ASSERT_TRUE(VARL_Admin_GetConfig(0, &record, kTimeOutMs)) << TakeLastError();
    EXPECT_EQ(record, MakeRecord(only[0].serial, static_cast<uint8_t>(only[0].dhcp), only[0].address,
                                 only[0].netMask, only[0].gateway, only[0].chipName.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Links, GetConfigFromEitherLinkTest,
                         ::testing::Values(GetConfigRow{"first", sim::kFirstLink}, GetConfigRow{"second", sim::kSecondLink}),
                         [](const auto& info) { return std::string(info.param.name); });

// A unit in no subnet of the PC cannot be reached by FTP; discovery finds it anyway, and
// set-configuration moves it into the second link's subnet, where a file can be uploaded to it.
TEST_F(TwoLinksTest, RescueOfAUnitInAForeignSubnet) {
    const Found before = Discover();
    ASSERT_TRUE(before.ok) << TakeLastError();
    ASSERT_NE(before.Unit(kForeignUnit), nullptr);
    EXPECT_EQ(before.Unit(kForeignUnit)->address, 0xC0A80164u);

    DeviceRecord moved = *before.Unit(kForeignUnit);
    moved.address = ntohl(inet_addr("10.78.200.1"));
    moved.netMask = 0xFFFF0000;
    moved.gateway = ntohl(inet_addr("10.78.0.1"));
    ASSERT_TRUE(VARL_Admin_SetConfig(kForeignUnit, &moved)) << TakeLastError();

    const Found after = Discover();
    ASSERT_TRUE(after.ok) << TakeLastError();
    ASSERT_NE(after.Unit(kForeignUnit), nullptr);
    EXPECT_EQ(*after.Unit(kForeignUnit), moved);

    const std::string page = sim::lab::LabDirectory() + "/rescue.htm";
    std::ofstream(page) << "<html>rescued</html>\n";
    ASSERT_TRUE(VARL_Admin_UploadFile(after.Unit(kForeignUnit)->address, page.c_str(), "", "RESCUE.HTM", 0))
        << TakeLastError();
    EXPECT_EQ(ReadFile(sim::lab::LabDirectory() + "/ftp/10.78.200.1/RESCUE.HTM"), "<html>rescued</html>\n");
}

TEST_F(TwoLinksTest, TraceTellsTheAdministratorWhatWentWhere) {
    const Environment trace("VARL_TRACE", "1");
    const Environment wanted("VARL_INTERFACES", "lab0,lab2");
    StandardErrorCapture capture;
    const Found found = Discover();
    const std::string text = capture.Text();
    ASSERT_TRUE(found.ok);
    for (const char* line : {
             "varl: discovery, time-out 300 ms\n",
             "varl: skipped lo: not named in VARL_INTERFACES\n",
             "varl: sent 3 bytes to 255.255.255.255:8001 on lab0 from 10.77.0.1\n",
             "varl: sent 3 bytes to 255.255.255.255:8001 on lab2 from 10.78.0.1\n",
             "varl: received 47 bytes from 10.77.0.10:8001: \"1A2B3 0 10.77.0.10 255.255.0.0 10.77.0.1 QX-100\"\n",
             "varl: received 54 bytes from 192.168.1.100:8001: \"A3D4E 0 192.168.1.100 255.255.255.0 192.168.1.1 QX-100\"\n",
         }) {
        EXPECT_NE(text.find(line), std::string::npos) << "no line " << line << "in\n" << text;
    }
    EXPECT_NE(text.find("varl: received 9 datagrams in "), std::string::npos) << text;
    EXPECT_NE(text.find("; the kernel dropped 0\n"), std::string::npos) << text;
}

TEST_F(TwoLinksTest, WithoutTraceTheLibraryWritesNothingToStandardError) {
    StandardErrorCapture capture;
    ASSERT_TRUE(Discover().ok);
    DeviceRecord record{};
    ASSERT_TRUE(VARL_Admin_GetConfig(0, &record, kTimeOutMs));
    const DeviceRecord nobody = MakeRecord(0xFFFFF, 1, 0, 0, 0, "");
    ASSERT_TRUE(VARL_Admin_SetConfig(0, &nobody));
    {
        const Environment wanted("VARL_INTERFACES", "nosuch");
        ASSERT_FALSE(Discover().ok);
    }
    EXPECT_EQ(capture.Text(), "");
}

}  // namespace
