#include "watch_events.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "fake_varl/lab_records.h"

namespace quorrel::cli {
namespace {

constexpr const char* kTime = "2025-03-01T14:05:09.250+01:00";

TEST(WatchEvents, SayWhatChangedForPeopleAndForScripts) {
    const DeviceRecord unit = quorrel::testing::LabRecords(1)[0];
    DeviceRecord moved = unit;
    moved.address = 0x0A4D0B0A;
    moved.dhcpMode = 1;
    std::strcpy(moved.chipName, "QX\x1b");
    struct Case {
        const char* name;
        WatchEvent event;
        const char* text;
        const char* json;
    } cases[] = {
        {"appeared", {WatchEventKind::Appeared, unit, {}, {}},
         "1A2B3 appeared: DHCP Off, address 10.77.0.10, mask 255.255.0.0, gateway 10.77.0.1, chip QX-100",
         R"({"time":"T","event":"appeared","serial":"1A2B3","unit":{"serial":"1A2B3","dhcp":0,"address":"10.77.0.10","mask":"255.255.0.0","gateway":"10.77.0.1","chip":"QX-100"}})"},
        {"changed", {WatchEventKind::Changed, moved, unit, {UnitField::Dhcp, UnitField::Address, UnitField::Chip}},
         "1A2B3 changed: DHCP Off to On, address 10.77.0.10 to 10.77.11.10, chip QX-100 to QX\\x1b",
         R"({"time":"T","event":"changed","serial":"1A2B3","unit":{"serial":"1A2B3","dhcp":1,"address":"10.77.11.10","mask":"255.255.0.0","gateway":"10.77.0.1","chip":"QX\u001b"},"changes":{"dhcp":{"from":0,"to":1},"address":{"from":"10.77.0.10","to":"10.77.11.10"},"chip":{"from":"QX-100","to":"QX\u001b"}}})"},
        {"gone", {WatchEventKind::Gone, unit, {}, {}}, "1A2B3 gone: last seen at 10.77.0.10",
         R"({"time":"T","event":"gone","serial":"1A2B3","unit":{"serial":"1A2B3","dhcp":0,"address":"10.77.0.10","mask":"255.255.0.0","gateway":"10.77.0.1","chip":"QX-100"}})"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WatchEventText(c.event, kTime), std::string(kTime) + " " + c.text) << c.name;
        EXPECT_EQ(WatchEventJson(c.event, "T"), c.json) << c.name;
    }
}

TEST(WatchEvents, TimeIsLocalToTheMillisecondWithItsOffset) {
    const char* previous = std::getenv("TZ");
    const std::string saved = previous == nullptr ? "" : previous;
    const auto at = std::chrono::system_clock::time_point(std::chrono::milliseconds(1740834309250));
    for (const auto& [zone, text] : {std::pair{"UTC0", "2025-03-01T13:05:09.250+00:00"},
                                     std::pair{"CET-1", "2025-03-01T14:05:09.250+01:00"},
                                     std::pair{"NST+3:30", "2025-03-01T09:35:09.250-03:30"}}) {
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(EventTime(at), text) << zone;
    }
    previous == nullptr ? unsetenv("TZ") : setenv("TZ", saved.c_str(), 1);
    tzset();
}

}  // namespace
}  // namespace quorrel::cli
