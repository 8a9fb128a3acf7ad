#include "watch_changes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_varl/lab_records.h"

namespace quorrel::cli {
namespace {

const std::vector<DeviceRecord> kUnits = quorrel::testing::LabRecords(3);

std::vector<DeviceRecord> Units(std::initializer_list<int> which) {
    std::vector<DeviceRecord> units;
    for (const int at : which) units.push_back(kUnits[at]);
    return units;
}

// "appeared 1A2B3", "changed 1B3C4 address mask", "gone 1C4D5".
std::vector<std::string> Described(const std::vector<WatchEvent>& events) {
    const char* const kinds[] = {"appeared", "changed", "gone"};
    const char* const fields[] = {"dhcp", "address", "mask", "gateway", "chip"};
    std::vector<std::string> texts;
    for (const WatchEvent& event : events) {
        char serial[8];
        std::snprintf(serial, sizeof serial, "%05X", event.unit.serial);
        std::string text = std::string(kinds[static_cast<int>(event.kind)]) + " " + serial;
        for (const UnitField field : event.changed) text += std::string(" ") + fields[static_cast<int>(field)];
        texts.push_back(text);
    }
    return texts;
}

// Rounds in a row, each with its answers and the events it must give.
TEST(WatchedUnits, ReportsEachChangeOnceAndAUnitGoneOnlyAfterThreeMissedRoundsInARow) {
    DeviceRecord moved = kUnits[1];
    moved.address = 0x0A4D0B0B;
    moved.netMask = 0xFFFFFF00;
    DeviceRecord renamed = kUnits[2];
    std::strcpy(renamed.chipName, "QX-300");
    renamed.dhcpMode = 0;

    struct Round {
        const char* name;
        std::vector<DeviceRecord> answers;
        std::vector<std::string> events;
    } rounds[] = {
        {"first: every unit appears", Units({2, 0, 1}), {"appeared 1A2B3", "appeared 1B3C4", "appeared 1C4D5"}},
        {"the same again", Units({0, 1, 2}), {}},
        {"1B3C4 readdressed", {kUnits[0], moved, kUnits[2]}, {"changed 1B3C4 address mask"}},
        {"1C4D5 missed once", {kUnits[0], moved}, {}},
        {"1C4D5 back, renamed and static", {kUnits[0], moved, renamed}, {"changed 1C4D5 dhcp chip"}},
        {"1A2B3 missed once", {moved, renamed}, {}},
        {"1A2B3 missed twice", {moved, renamed}, {}},
        {"1A2B3 missed a third time", {moved, renamed}, {"gone 1A2B3"}},
        {"1A2B3 gone for good", {moved, renamed}, {}},
        {"1A2B3 back, a serial twice", {kUnits[1], kUnits[0], moved, renamed}, {"appeared 1A2B3"}},
        {"nobody answers", {}, {}},
        {"nobody twice", {}, {}},
        {"nobody three times", {}, {"gone 1A2B3", "gone 1B3C4", "gone 1C4D5"}},
    };
    WatchedUnits watched;
    for (const Round& round : rounds) EXPECT_EQ(Described(watched.Round(round.answers)), round.events) << round.name;
}

TEST(WatchedUnits, AsksAgainOnlyWhileAKnownUnitIsMissing) {
    WatchedUnits watched;
    EXPECT_FALSE(watched.AnyMissing({}));
    watched.Round(Units({0, 1}));
    EXPECT_FALSE(watched.AnyMissing(Units({1, 0, 2})));
    EXPECT_TRUE(watched.AnyMissing(Units({0, 2})));
}

TEST(WatchedUnits, TellsTheFieldsBeforeAndAfterAChange) {
    WatchedUnits watched;
    watched.Round(Units({0}));
    DeviceRecord changed = kUnits[0];
    changed.gateway = 0;
    const std::vector<WatchEvent> events = watched.Round({changed});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].before.gateway, kUnits[0].gateway);
    EXPECT_EQ(events[0].unit.gateway, 0u);
}

}  // namespace
}  // namespace quorrel::cli
