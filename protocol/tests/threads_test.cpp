// Eight threads calling the six exports at once, each reading the last-error text of its own
// failures while the others fail differently. Runs inside the lab (scripts/lab, no units needed):
// the successful calls broadcast, and the upload that fails connects to the PC's own address. Also
// built with ThreadSanitizer (QUORREL_THREAD_SANITIZE), which reports any state the calls share.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "varl.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 12;
// The lab's PC side, where no FTP server listens: the connect is refused at once.
constexpr uint32_t kPcAddress = 0x0A4D0001u;  // 10.77.0.1
// Short, to keep the rounds fast; long enough for a poll and a wait.
constexpr uint32_t kTimeOutMs = 60;

struct Call {
    const char* name;
    std::function<VarlBool()> run;
    // The last-error text a failing call leaves; null for a call that succeeds.
    const char* text;
};

std::vector<Call> Failures(const std::string& file) {
    return {
        {"null count", [] { return VARL_Admin_Discover(nullptr, nullptr, kTimeOutMs); },
         "Argument error. The count pointer is null."},
        {"get-config into a null record", [] { return VARL_Admin_GetConfig(0, nullptr, kTimeOutMs); },
         "Argument error. The record pointer is null."},
        {"set-config from a null record", [] { return VARL_Admin_SetConfig(0, nullptr); },
         "Argument error. The record pointer is null."},
        {"remote name past 8.3",
         [file] { return VARL_Admin_UploadFile(kPcAddress, file.c_str(), "", "TOOLONGNAME.HTM", 0); },
         "File upload error. Remote file name must use 8.3 format."},
        {"no local path", [] { return VARL_Admin_UploadFile(kPcAddress, nullptr, "", "A.HTM", 0); },
         "File upload error. No local file path given."},
        {"no FTP server", [file] { return VARL_Admin_UploadFile(kPcAddress, file.c_str(), "", "A.HTM", 0); },
         "Communications error. Could not open transfer connection."},
    };
}

std::vector<Call> Successes() {
    return {
        {"discovery",
         [] {
             uint32_t count = 2;
             DeviceRecord records[2];
             return VARL_Admin_Discover(&count, records, kTimeOutMs);
         },
         nullptr},
        {"get-config",
         [] {
             DeviceRecord record{};
             return VARL_Admin_GetConfig(0, &record, kTimeOutMs);
         },
         nullptr},
        {"set-config",
         [] {
             DeviceRecord record{};
             record.serial = 0xABCDE;
             record.dhcpMode = 1;
             return VARL_Admin_SetConfig(0, &record);
         },
         nullptr},
        {"version",
         [] {
             int32_t first = 0, second = -1;
             VARL_DriverCfg_Version(&first, &second);
             return static_cast<VarlBool>(first == 1 && second == 0);
         },
         nullptr},
    };
}

std::string TakeLastError() {
    char buffer[500];
    std::memset(buffer, 'J', sizeof buffer);
    VARL_Error_LastErr(buffer);
    return buffer;
}

// Each round: one failure, then a success, which must leave the text alone, then the fetch, which
// must give this thread's failure and empty only this thread's text. Returns what went wrong.
std::vector<std::string> RunRounds(int thread, const std::vector<Call>& failures, const std::vector<Call>& successes) {
    std::vector<std::string> faults;
    for (int round = 0; round < kRounds; ++round) {
        const Call& failure = failures[static_cast<std::size_t>(thread + round) % failures.size()];
        const Call& success = successes[static_cast<std::size_t>(thread * 3 + round) % successes.size()];
        if (failure.run() != 0) faults.push_back(std::string(failure.name) + " succeeded");
        if (success.run() == 0) faults.push_back(std::string(success.name) + " failed: " + TakeLastError());
        const std::string text = TakeLastError();
        if (text != failure.text) {
            faults.push_back(std::string(failure.name) + " then " + success.name + " left \"" + text + "\"");
        }
        const std::string emptied = TakeLastError();
        if (!emptied.empty()) faults.push_back("a second fetch after " + std::string(failure.name) + " gave \"" + emptied + "\"");
    }
    return faults;
}

TEST(Threads, EachThreadReadsTheTextOfItsOwnFailures) {
    ASSERT_NE(std::getenv("LAB_DIR"), nullptr) << "run this test inside scripts/lab: its calls broadcast";
    const std::string file = std::string(std::getenv("LAB_DIR")) + "/threads.htm";
    std::ofstream(file) << "<p>threads</p>\n";
    const std::vector<Call> failures = Failures(file);
    const std::vector<Call> successes = Successes();

    std::vector<std::vector<std::string>> faults(kThreads);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&, thread] { faults[thread] = RunRounds(thread, failures, successes); });
    }
    for (std::thread& thread : threads) thread.join();

    for (int thread = 0; thread < kThreads; ++thread) {
        for (const std::string& fault : faults[thread]) ADD_FAILURE() << "thread " << thread << ": " << fault;
    }
}

// A thread that never failed reads the empty text, whatever failed in other threads.
TEST(Threads, NewThreadStartsWithAnEmptyText) {
    ASSERT_EQ(VARL_Admin_SetConfig(0, nullptr), 0);
    std::string seen = "not read";
    std::thread([&] { seen = TakeLastError(); }).join();
    EXPECT_EQ(seen, "");
    EXPECT_EQ(TakeLastError(), "Argument error. The record pointer is null.");
}

}  // namespace
