// quorrel as its users run it: the built program as a child process, the real library, simulated
// units and their FTP servers in the lab. What is checked is what a script sees (exit status,
// standard output, standard error) and what reached the units.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ftp_lab.h"
#include "lab_client.h"
#include "lab_output_rule.h"
#include "lab_units.h"

extern char** environ;

namespace {

using sim::lab::DatagramLog;
using sim::lab::LabDirectory;
using sim::lab::LoadUnitTable;
using sim::lab::ReadFile;

// The lab's six units answering in reverse order of serial, so that sorting shows.
const std::string kSixUnitsReversed = [] {
    std::vector<sim::SimulatedUnit> units = sim::LabUnits(6);
    std::reverse(units.begin(), units.end());
    return sim::FormatUnitTable(units);
}();

constexpr const char* kSixUnitsCsv =
    "serial,dhcp,address,mask,gateway,chip\r\n"
    "1A2B3,0,10.77.0.10,255.255.0.0,10.77.0.1,QX-100\r\n"
    "1B3C4,0,10.77.0.11,255.255.0.0,10.77.0.1,QX-200\r\n"
    "1C4D5,1,10.77.0.12,255.255.0.0,10.77.0.1,QX-100\r\n"
    "1D5E6,0,10.77.0.13,255.255.0.0,10.77.0.1,QX-200\r\n"
    "1E6F7,0,10.77.0.14,255.255.0.0,10.77.0.1,QX-100\r\n"
    "1F808,1,10.77.0.15,255.255.0.0,10.77.0.1,QX-200\r\n";

constexpr const char* kDiscoveryRequest = "0 1";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    // Every datagram the units received while the program ran.
    std::vector<std::string> wire;
};

std::string LabFile(const std::string& name) { return LabDirectory() + "/" + name; }

std::string WriteLabFile(const std::string& name, const std::string& content) {
    const std::string path = LabFile(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// Everything the units received since log began, up to a marker sent now: the program has ended,
// so whatever it sent is queued before the marker.
std::vector<std::string> WireSince(const DatagramLog& log) {
    static int markers = 0;
    const std::string marker = "end of test step " + std::to_string(++markers);
    sim::lab::UdpClient().Broadcast(marker);
    for (int attempt = 0; attempt < 300; ++attempt) {
        std::vector<std::string> received;
        for (const sim::lab::LoggedDatagram& datagram : log.Since()) {
            if (datagram.bytes == marker) return received;
            received.push_back(datagram.bytes);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the marker datagram never reached the units";
    return {};
}

// Runs the built program with the arguments; standard input holds input.
Outcome RunQuorrel(std::vector<std::string> arguments, const std::string& input = "") {
    const std::string in = WriteLabFile("quorrel.in", input), out = LabFile("quorrel.out"), err = LabFile("quorrel.err");
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    arguments.insert(arguments.begin(), QUORREL_PROGRAM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    Outcome run;
    const DatagramLog log;
    pid_t child = -1;
    const int spawned = posix_spawn(&child, QUORREL_PROGRAM, &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        ADD_FAILURE() << "quorrel did not run to its end";
        return run;
    }
    run.status = WEXITSTATUS(status);
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    run.wire = WireSince(log);
    return run;
}

std::vector<std::string> SetConfigMessages(const std::vector<std::string>& wire) {
    std::vector<std::string> messages;
    std::copy_if(wire.begin(), wire.end(), std::back_inserter(messages),
                 [](const std::string& bytes) { return bytes != kDiscoveryRequest; });
    std::sort(messages.begin(), messages.end());
    return messages;
}

long DiscoveryRequests(const std::vector<std::string>& wire) {
    return std::count(wire.begin(), wire.end(), kDiscoveryRequest);
}

class QuorrelLab : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(LabDirectory().empty()) << "run inside scripts/lab";
        ASSERT_TRUE(LoadUnitTable(kSixUnitsReversed, 6));
    }
};

TEST_F(QuorrelLab, DiscoverListsTheSixUnitsAfterOneRequest) {
    const Outcome run = RunQuorrel({"discover", "--timeout", "300", "--format", "csv"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kSixUnitsCsv);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.wire, std::vector<std::string>{kDiscoveryRequest});
}

TEST_F(QuorrelLab, InterfaceAndVerboseReachTheLibrary) {
    const Outcome lab0 = RunQuorrel({"discover", "--timeout", "300", "--interface", "lab0", "--verbose", "--format", "csv"});
    EXPECT_EQ(lab0.status, 0);
    EXPECT_EQ(lab0.out, kSixUnitsCsv);
    EXPECT_NE(lab0.err.find("varl: sent 3 bytes to 255.255.255.255:8001 on lab0 from 10.77.0.1\n"), std::string::npos)
        << lab0.err;

    const Outcome none = RunQuorrel({"discover", "--timeout", "300", "--interface", "eth9"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "quorrel: Communications error. VARL_INTERFACES names no usable interface.\n");
    EXPECT_EQ(DiscoveryRequests(none.wire), 0);
}

// One discovery before sending, one round of confirmation after, for one unit or for many.
TEST_F(QuorrelLab, SetSendsTheExactMessageAndConfirmsIt) {
    const Outcome run = RunQuorrel({"set", "--timeout", "300", "1b3c4", "--static", "10.77.1.11/16", "--gateway",
                                    "10.77.0.1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SetConfigMessages(run.wire), std::vector<std::string>{"1B3C4 5 0 10.77.1.11 255.255.0.0 10.77.0.1"});
    EXPECT_EQ(run.out,
              "SERIAL  DHCP  ADDRESS     MASK         GATEWAY    CHIP\n"
              "1B3C4   Off   10.77.1.11  255.255.0.0  10.77.0.1  QX-200\n");
    EXPECT_EQ(DiscoveryRequests(run.wire), 2);
}

TEST_F(QuorrelLab, ApplySendsOnlyTheChangesAndConfirmsThemTogether) {
    const std::string file = WriteLabFile("apply.csv",
                                          "serial,dhcp,address,mask,gateway\n"
                                          "1B3C4,1,,,\n"
                                          "1C4D5,0,10.77.1.12,255.255.255.0,10.77.1.1\n"
                                          "1D5E6,0,10.77.0.13,255.255.0.0,10.77.0.1\n");
    const Outcome run = RunQuorrel({"apply", "--timeout", "300", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SetConfigMessages(run.wire),
              (std::vector<std::string>{"1B3C4 5 1    ", "1C4D5 5 0 10.77.1.12 255.255.255.0 10.77.1.1"}));
    EXPECT_EQ(DiscoveryRequests(run.wire), 2);
    EXPECT_EQ(run.out,
              "1B3C4 confirmed: DHCP On\n"
              "1C4D5 confirmed: DHCP Off, address 10.77.1.12, mask 255.255.255.0, gateway 10.77.1.1\n"
              "1D5E6 unchanged: DHCP Off, address 10.77.0.13, mask 255.255.0.0, gateway 10.77.0.1\n");
}

TEST_F(QuorrelLab, UploadStoresTheSameBytesByFtpOrSaysWhyNot) {
    std::string bytes;
    for (int i = 0; i < 512; ++i) bytes += static_cast<char>(i % 256);
    const std::string file = WriteLabFile("page.bin", bytes);

    const Outcome byAddress = RunQuorrel({"upload", "10.77.0.11", file, "BYADDR.BIN"});
    EXPECT_EQ(byAddress.status, 0) << byAddress.err;
    EXPECT_EQ(byAddress.out.rfind("10.77.0.11: stored BYADDR.BIN, 512 bytes in ", 0), 0u) << byAddress.out;
    EXPECT_EQ(ReadFile(LabFile("ftp/10.77.0.11/BYADDR.BIN")), bytes);

    // 10.77.200.1 is on the units' side, with no FTP server.
    const Outcome unreachable = RunQuorrel({"upload", "10.77.200.1", file});
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_EQ(unreachable.err, "quorrel: 10.77.200.1: Communications error. Could not open transfer connection.\n");
}

// The real library refuses these names before it connects: status 2, and nothing reaches a unit.
TEST_F(QuorrelLab, TheLibrarysRefusalsOfARemoteNameEndWithStatusTwoAndNothingOnTheWire) {
    const std::string page = WriteLabFile("page.htm", "<p>hello</p>\n");
    struct Case {
        const char* name;
        std::string remoteName;
        const char* problem;
    } cases[] = {
        {"not 8.3", "ABCDEFGHI.HTM", "File upload error. Remote file name must use 8.3 format."},
        {"a control character", "A\tB.HTM", "File upload error. Remote file name holds a control character."},
    };
    for (const Case& c : cases) {
        const std::string ftpCommands = ReadFile(LabFile("ftp-commands.log"));
        const Outcome run = RunQuorrel({"upload", "10.77.0.10", page, c.remoteName});
        EXPECT_EQ(run.status, 2) << c.name;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_NE(run.err.find(c.problem), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.wire, std::vector<std::string>{}) << c.name;
        EXPECT_EQ(ReadFile(LabFile("ftp-commands.log")), ftpCommands) << c.name;
    }
}

}  // namespace

// --- Uploads to many units at once, in a lab whose units' FTP servers are throttled (--ftp-rate),
// so that transfers overlap.

using Clock = std::chrono::steady_clock;

std::vector<char*> Argv(std::vector<std::string>& arguments) {
    arguments.insert(arguments.begin(), QUORREL_PROGRAM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

// The exit status once the child has ended, or -1 when it has not after wait.
int WaitForExit(pid_t child, std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (Clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Runs the built program with standard error, and unless outputToFile standard output, on a
// pseudo-terminal, as from a shell; returns the exit status and all the terminal showed.
std::pair<int, std::string> RunOnTerminal(std::vector<std::string> arguments, bool outputToFile) {
    const std::string outputFile = LabFile("quorrel-terminal.out");
    std::vector<char*> argv = Argv(arguments);
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        if (outputToFile) dup2(open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        execv(QUORREL_PROGRAM, argv.data());
        _exit(127);
    }
    std::string shown;
    char buffer[4096];
    // The terminal's side reads EIO once the program and every copy of its side have closed.
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR);) {
        if (got > 0) shown.append(buffer, static_cast<std::size_t>(got));
    }
    close(terminal);
    return {WaitForExit(child, std::chrono::seconds(10)), shown};
}

// Bytes that no unit holds yet.
std::string RandomBytes(std::size_t size) {
    std::mt19937 generator(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

// The most transfers under way at once, from the FTP command log: a unit's transfer is under way
// from its STOR to the next command its server gets (the QUIT once the file is in).
int MostTransfersAtOnce(const std::string& commandLog) {
    std::map<std::string, bool> storing;
    int open = 0, most = 0;
    std::istringstream lines(commandLog);
    for (std::string line; std::getline(lines, line);) {
        const std::string address = line.substr(0, line.find(' '));
        if (storing[address]) --open;
        storing[address] = line.rfind(address + " STOR ", 0) == 0;
        if (storing[address]) most = std::max(most, ++open);
    }
    return most;
}

std::string UnitFile(const sim::SimulatedUnit& unit, const std::string& name) {
    return ReadFile(LabFile("ftp/" + sim::DottedQuad(unit.address) + "/" + name));
}

class QuorrelUploadLab : public ::testing::Test {
protected:
    static constexpr int kUnits = 8;

    void SetUp() override {
        ASSERT_FALSE(LabDirectory().empty()) << "run inside scripts/lab --ftp-rate";
        ASSERT_NE(std::getenv("LAB_FTP_RATE"), nullptr) << "run inside scripts/lab --ftp-rate";
        ASSERT_TRUE(LoadUnitTable(sim::lab::LabUnitTable(kUnits), kUnits));
    }

    std::string CommandsSince(std::size_t mark) const { return ReadFile(LabFile("ftp-commands.log")).substr(mark); }

    // The lab's throttle lets a unit's first second's worth (1 MB) through at once and sleeps
    // after the second's: 2.5 MB take 2 s, so that four transfers overlap.
    const std::string bytes = RandomBytes(2'500'000);
    const std::string file = WriteLabFile("big.bin", bytes);
};

TEST_F(QuorrelUploadLab, AllWithFourJobsStoresTheSameBytesOnEveryUnitFourTransfersAtATime) {
    const std::size_t mark = ReadFile(LabFile("ftp-commands.log")).size();
    const Outcome run = RunQuorrel({"upload", "--all", "--jobs", "4", "--timeout", "300", file, "BIG.BIN"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), kUnits) << run.out;
    for (const sim::SimulatedUnit& unit : sim::LabUnits(kUnits)) {
        EXPECT_TRUE(UnitFile(unit, "BIG.BIN") == bytes) << sim::DottedQuad(unit.address);
    }
    EXPECT_EQ(MostTransfersAtOnce(CommandsSince(mark)), 4) << CommandsSince(mark);
}

// The library refuses the name before it connects: no unit hears of it, however many at once.
TEST_F(QuorrelUploadLab, ARefusedNameStopsEveryUnitBeforeAnyConnection) {
    const std::size_t mark = ReadFile(LabFile("ftp-commands.log")).size();
    const Outcome run = RunQuorrel({"upload", "--all", "--jobs", "8", "--timeout", "300", file, "ABCDEFGHI.BIN"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "quorrel: remote name 'ABCDEFGHI.BIN': File upload error. Remote file name must use 8.3 format.\n");
    EXPECT_EQ(CommandsSince(mark), "");
}

TEST_F(QuorrelUploadLab, AUnitWhoseServerRefusesTheFileFailsAloneWithStatusOne) {
    const ftp_lab::SpareServer readOnly("10.77.200.1", {"--read-only"});
    // Its serial comes first, so that the others are taken after its failure.
    ASSERT_TRUE(LoadUnitTable(sim::lab::LabUnitTable(kUnits) + "unit 0A000 0 10.77.200.1 255.255.0.0 10.77.0.1 QX-100\n",
                              kUnits + 1));
    const std::string page = WriteLabFile("page.htm", "<p>hello</p>\n");
    const Outcome run = RunQuorrel({"upload", "--all", "--jobs", "1", "--timeout", "300", page, "PAGE.HTM"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quorrel: 0A000 at 10.77.200.1: Communications error. Could not send file.\n");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), kUnits) << run.out;
    for (const sim::SimulatedUnit& unit : sim::LabUnits(kUnits)) EXPECT_EQ(UnitFile(unit, "PAGE.HTM"), "<p>hello</p>\n");
}

TEST_F(QuorrelUploadLab, TheProgressLineShowsOnlyWhenOutputAndErrorAreATerminal) {
    const std::vector<std::string> upload = {"upload", "--all", "--timeout", "300", file, "BIG.BIN"};
    const auto [status, shown] = RunOnTerminal(upload, false);
    EXPECT_EQ(status, 0);
    EXPECT_NE(shown.find("\rUploading: 0 of 8 units done, 0 B stored\x1b[K"), std::string::npos) << shown;
    // The progress line is drawn over itself; a unit's line starts a line of the terminal, after
    // the progress line was cleared; the progress line is cleared at the end.
    std::size_t lastDrawn = 0;
    for (std::size_t at = shown.find("\rUploading: "); at != std::string::npos; at = shown.find("\rUploading: ", at + 1)) {
        const std::size_t end = shown.find("\x1b[K", at);
        ASSERT_NE(end, std::string::npos) << shown;
        EXPECT_EQ(shown.compare(end + 3, 1, "\r"), 0) << shown.substr(at, 80);
        lastDrawn = end;
    }
    EXPECT_NE(shown.find("\r\x1b[K", lastDrawn), std::string::npos) << "never cleared";
    std::size_t stored = 0;
    for (std::size_t at = shown.find(" at 10.77.0."); at != std::string::npos; at = shown.find(" at 10.77.0.", at + 1)) {
        const std::size_t lineStart = shown.find_last_not_of("0123456789ABCDEF", at - 1) + 1;
        EXPECT_TRUE(shown.compare(lineStart - 1, 1, "\n") == 0 || shown.compare(lineStart - 4, 4, "\r\x1b[K") == 0)
            << shown.substr(lineStart - 4, 40);
        ++stored;
    }
    EXPECT_EQ(stored, 8u) << shown;

    // Were it drawn, it would be drawn at once, before any unit had its file.
    const std::vector<std::string> small = {"upload", "--all", "--timeout", "300", WriteLabFile("page.htm", "<p>hello</p>\n")};
    const auto [toFileStatus, toFileShown] = RunOnTerminal(small, true);
    EXPECT_EQ(toFileStatus, 0);
    EXPECT_EQ(toFileShown, "");

    const Outcome piped = RunQuorrel(small);
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, "");
}

// --- quorrel watch, run in the background while the units change.

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
        const int spawned = posix_spawn(&child_, QUORREL_PROGRAM, &files, nullptr, argv.data(), environ);
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
