// quorrel upload to many units at once, in a lab whose units' FTP servers are throttled
// (--ftp-rate), so that transfers overlap: the built program as a child process, its standard
// output and error on a pipe or a pseudo-terminal, and what the units' FTP servers logged and stored.
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ftp_lab.h"
#include "lab_client.h"
#include "lab_units.h"
#include "quorrel_lab_run.h"

namespace {

using namespace quorrel::cli::testing;
using sim::lab::LabDirectory;
using sim::lab::LoadUnitTable;
using sim::lab::ReadFile;

// Runs the built program with standard error, and unless outputToFile standard output, on a
// pseudo-terminal, as from a shell; returns the exit status and all the terminal showed.
std::pair<int, std::string> RunOnTerminal(std::vector<std::string> arguments, bool outputToFile) {
    const std::string outputFile = LabFile("quorrel-terminal.out");
    std::vector<char*> argv = Argv(arguments);
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        if (outputToFile) dup2(open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        execv(ProgramPath(), argv.data());
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

}  // namespace
