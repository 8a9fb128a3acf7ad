// quorrel watch as its users run it, in the background while the lab's units change: the events it
// writes, when it writes them, and how it ends.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lab_client.h"
#include "lab_output_rule.h"
#include "lab_units.h"
#include "quorrel_lab_run.h"

namespace {

using namespace quorrel::cli::testing;
using sim::lab::DatagramLog;
using sim::lab::LabDirectory;
using sim::lab::LoadUnitTable;
using sim::lab::ReadFile;
using Clock = std::chrono::steady_clock;

// quorrel started in the background, its standard output read line by line as it comes.
class BackgroundQuorrel {
public:
    explicit BackgroundQuorrel(std::vector<std::string> arguments) : errPath_(LabFile("quorrel-background.err")) {
        int pipe[2];
        if (pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, pipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> argv = Argv(arguments);
        const int spawned = posix_spawn(&child_, ProgramPath(), &files, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&files);
        close(pipe[1]);
        out_ = pipe[0];
        if (spawned != 0) throw std::runtime_error("quorrel did not start");
    }
    ~BackgroundQuorrel() {
        if (child_ > 0 && WaitForExit(child_, std::chrono::milliseconds(0)) < 0) {
            kill(child_, SIGKILL);
            WaitForExit(child_, std::chrono::seconds(5));
        }
        close(out_);
    }
    BackgroundQuorrel(const BackgroundQuorrel&) = delete;
    BackgroundQuorrel& operator=(const BackgroundQuorrel&) = delete;

    // The next whole line of standard output, or nothing when none came within wait.
    std::optional<std::string> NextLine(std::chrono::milliseconds wait) {
        const auto deadline = Clock::now() + wait;
        for (;;) {
            if (const auto end = buffered_.find('\n'); end != std::string::npos) {
                std::string line = buffered_.substr(0, end);
                buffered_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd readable{out_, POLLIN, 0};
            if (left <= 0 || poll(&readable, 1, static_cast<int>(left)) <= 0) return std::nullopt;
            char bytes[4096];
            const ssize_t got = read(out_, bytes, sizeof bytes);
            if (got <= 0) return std::nullopt;
            buffered_.append(bytes, static_cast<std::size_t>(got));
        }
    }

    // Every line that comes within wait of the one before.
    std::vector<std::string> LinesUntilQuiet(std::chrono::milliseconds wait) {
        std::vector<std::string> lines;
        while (auto line = NextLine(wait)) lines.push_back(*line);
        return lines;
    }

    // Sends the signal and returns the exit status, or -1 when the program has not ended after
    // wait.
    int Stop(int signal, std::chrono::milliseconds wait) {
        kill(child_, signal);
        const int status = WaitForExit(child_, wait);
        if (status >= 0) child_ = -1;
        return status;
    }

    std::string Err() const { return ReadFile(errPath_); }

private:
    std::string errPath_;
    pid_t child_ = -1;
    int out_ = -1;
    std::string buffered_;
};

nlohmann::json Event(const std::string& line) {
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    EXPECT_FALSE(event.is_discarded()) << line;
    return event;
}

// The events' "EVENT SERIAL" texts, sorted.
std::vector<std::string> EventsAndSerials(const std::vector<nlohmann::json>& events) {
    std::vector<std::string> texts;
    for (const nlohmann::json& event : events) {
        texts.push_back(event.value("event", "?") + " " + event.value("serial", "?"));
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

// Milliseconds from one event's time to another's, both of the same day.
long long MillisecondsBetween(const nlohmann::json& earlier, const nlohmann::json& later) {
    const auto milliseconds = [](const nlohmann::json& event) {
        const std::string time = event.value("time", "");  // 2025-03-01T14:05:09.250+01:00
        return ((std::stoll(time.substr(11, 2)) * 60 + std::stoll(time.substr(14, 2))) * 60 + std::stoll(time.substr(17, 2))) *
                   1000 +
               std::stoll(time.substr(20, 3));
    };
    return milliseconds(later) - milliseconds(earlier);
}

class QuorrelWatchLab : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(LabDirectory().empty()) << "run inside scripts/lab";
        ASSERT_TRUE(LoadUnitTable(sim::lab::LabUnitTable(6), 6));
    }

    // The first round's events: the six units appeared.
    static void ExpectSixAppeared(BackgroundQuorrel& watch) {
        std::vector<nlohmann::json> first;
        for (int i = 0; i < 6; ++i) {
            const std::optional<std::string> line = watch.NextLine(std::chrono::seconds(5));
            ASSERT_TRUE(line) << watch.Err();
            first.push_back(Event(*line));
        }
        EXPECT_EQ(EventsAndSerials(first),
                  (std::vector<std::string>{"appeared 1A2B3", "appeared 1B3C4", "appeared 1C4D5", "appeared 1D5E6",
                                            "appeared 1E6F7", "appeared 1F808"}));
    }
};

// Rounds start every second: a unit removed misses the round that sees the new ones, then two more.
TEST_F(QuorrelWatchLab, SaysExactlyWhatChangedAndAUnitIsGoneOnlyAfterItsThirdMissedRound) {
    BackgroundQuorrel watch({"watch", "--format", "json", "--interval", "1", "--timeout", "300"});
    ExpectSixAppeared(watch);

    std::vector<sim::SimulatedUnit> units = sim::LabUnits(6);
    units.resize(4);
    units[1].address = 0x0A4D006F;  // 1B3C4 to 10.77.0.111
    for (const std::uint32_t serial : {0x2A000u, 0x2B111u, 0x2C222u}) {
        units.push_back(units[0]);
        units.back().serial = serial;
        units.back().address = 0x0A4D0014 + (serial >> 12) - 0x2A;  // 10.77.0.20 on
    }
    ASSERT_TRUE(LoadUnitTable(sim::FormatUnitTable(units), 7));

    std::vector<nlohmann::json> events;
    for (const std::string& line : watch.LinesUntilQuiet(std::chrono::milliseconds(3500))) events.push_back(Event(line));
    EXPECT_EQ(watch.Stop(SIGTERM, std::chrono::seconds(5)), 0);
    ASSERT_EQ(EventsAndSerials(events),
              (std::vector<std::string>{"appeared 2A000", "appeared 2B111", "appeared 2C222", "changed 1B3C4",
                                        "gone 1E6F7", "gone 1F808"}))
        << watch.Err();
    const nlohmann::json& changed = *std::find_if(events.begin(), events.end(),
                                                  [](const nlohmann::json& e) { return e["event"] == "changed"; });
    EXPECT_EQ(changed["changes"], nlohmann::json::parse(R"({"address": {"from": "10.77.0.11", "to": "10.77.0.111"}})"));
    // The appearances and the change come in one round, the units' going two rounds later.
    for (const nlohmann::json& event : events) {
        const long long after = MillisecondsBetween(events.front(), event);
        if (event["event"] == "gone") {
            EXPECT_GE(after, 1500) << event;
            EXPECT_LE(after, 3000) << event;
        } else {
            EXPECT_EQ(after, 0) << event;
        }
    }
    EXPECT_EQ(watch.Err(), "");
}

// A discovery of a 10 s time-out lasts about 7 s; a round every minute. A stop in either ends the
// program at once.
TEST_F(QuorrelWatchLab, ASignalEndsItAtOnceWithStatusZeroDuringADiscoveryOrBetweenRounds) {
    struct Case {
        const char* name;
        int signal;
        bool afterFirstRound;
    } cases[] = {{"SIGINT during a discovery", SIGINT, false}, {"SIGTERM between rounds", SIGTERM, true}};
    for (const Case& c : cases) {
        const DatagramLog log;
        BackgroundQuorrel watch({"watch", "--interval", "60", "--timeout", c.afterFirstRound ? "300" : "10000"});
        if (c.afterFirstRound) {
            EXPECT_EQ(watch.LinesUntilQuiet(std::chrono::milliseconds(1500)).size(), 6u) << c.name;
        } else {
            EXPECT_EQ(log.Since(1).size(), 1u) << c.name;  // the request went out: the discovery is under way
        }
        const auto signalled = Clock::now();
        EXPECT_EQ(watch.Stop(c.signal, std::chrono::seconds(5)), 0) << c.name;
        EXPECT_LT(Clock::now() - signalled, std::chrono::seconds(1)) << c.name;
        EXPECT_EQ(watch.NextLine(std::chrono::milliseconds(0)), std::nullopt) << c.name;
        EXPECT_EQ(watch.Err(), "") << c.name;
    }
}

// While the PC's sends fail, each round says so and counts for nothing: no unit is gone after.
TEST_F(QuorrelWatchLab, AFailingNetworkIsSaidEachRoundAndNoUnitMissesARound) {
    BackgroundQuorrel watch({"watch", "--format", "json", "--interval", "0.3", "--timeout", "100"});
    ExpectSixAppeared(watch);
    {
        const varl::testing::LabOutputRule blocked("udp dport 8001 drop");
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }
    EXPECT_EQ(watch.LinesUntilQuiet(std::chrono::milliseconds(1500)), std::vector<std::string>{});
    EXPECT_EQ(watch.Stop(SIGTERM, std::chrono::seconds(5)), 0);
    std::istringstream err(watch.Err());
    int failures = 0;
    for (std::string line; std::getline(err, line); ++failures) {
        EXPECT_EQ(line.rfind("quorrel: Communications error. Could not send message.", 0), 0u) << line;
    }
    EXPECT_GE(failures, 4);
}

// A fifth of the units' replies lost for 30 s, rounds every half second.
TEST_F(QuorrelWatchLab, UnderAFifthOfRepliesLostNoUnitReadsAsGone) {
    const varl::testing::LabInputRule loss("udp sport 8001 numgen random mod 5 0 drop");
    BackgroundQuorrel watch({"watch", "--format", "json", "--interval", "0.5", "--timeout", "200"});
    std::vector<nlohmann::json> events;
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < end) {
        if (auto line = watch.NextLine(std::chrono::milliseconds(500))) events.push_back(Event(*line));
    }
    EXPECT_EQ(watch.Stop(SIGTERM, std::chrono::seconds(5)), 0);
    EXPECT_EQ(EventsAndSerials(events),
              (std::vector<std::string>{"appeared 1A2B3", "appeared 1B3C4", "appeared 1C4D5", "appeared 1D5E6",
                                        "appeared 1E6F7", "appeared 1F808"}));
    EXPECT_EQ(watch.Err(), "");
}

}  // namespace
