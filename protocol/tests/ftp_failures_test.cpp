// Uploads that fail: bad arguments and local files, which must fail before the unit sees anything,
// and units that are missing or misbehave, which must hand control back within a bounded time.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <curl/curl.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "ftp_lab.h"
#include "lab_output_rule.h"
#include "varl.h"

// The library logs in and stores in two calls of libcurl's curl_easy_perform, one right after the
// other. This executable stands in for that function (the library's call binds to it first), so
// that a test can pause before the second call and let a unit go away in between.
namespace {
int performs = 0;
std::chrono::milliseconds pauseBeforeSecondPerform{0};
}  // namespace

extern "C" CURLcode curl_easy_perform(CURL* handle) {
    using Perform = CURLcode (*)(CURL*);
    static const auto libcurlPerform = reinterpret_cast<Perform>(dlsym(RTLD_NEXT, "curl_easy_perform"));
    if (++performs == 2) std::this_thread::sleep_for(pauseBeforeSecondPerform);
    return libcurlPerform(handle);
}

namespace ftp_lab {
namespace {

using varl::testing::LabOutputRule;

class FtpFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        EmptyFolder(UnitHome());
        local_ = MakeLocalFolder();
        page_ = local_ + "/page.htm";
        WriteFile(page_, "<html></html>\n");
        log_.Mark();
    }

    std::string local_;
    std::string page_;
    CommandLog log_{LabDir() + "/ftp-commands.log", kUnitAddressText};
};

enum class LocalFile { kNull, kBlank, kMissing, kFolder, kReadable };

struct ArgumentCase {
    const char* label;
    LocalFile local;
    const char* remoteName;
    const char* text;  // null: any text beginning "File upload error. "
};

const ArgumentCase kArgumentCases[] = {
    {"NullLocalPath", LocalFile::kNull, "INDEX.HTM", nullptr},
    {"NullRemoteName", LocalFile::kReadable, nullptr, nullptr},
    {"MissingLocalFile", LocalFile::kMissing, "INDEX.HTM", kSendText},
    {"FolderAsLocalFile", LocalFile::kFolder, "INDEX.HTM", kSendText},
    {"BlankLocalPath", LocalFile::kBlank, "INDEX.HTM", kSendText},
};

void PrintTo(const ArgumentCase& row, std::ostream* out) { *out << row.label; }

class ArgumentTest : public FtpFailureTest, public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(ArgumentTest, FailsBeforeTheUnitSeesAnything) {
    const ArgumentCase& row = GetParam();
    std::string path;
    switch (row.local) {
        case LocalFile::kNull: break;
        case LocalFile::kBlank: path = " \t "; break;
        case LocalFile::kMissing: path = local_ + "/none.htm"; break;
        case LocalFile::kFolder: path = local_; break;
        case LocalFile::kReadable: path = page_; break;
    }

    const UploadOutcome outcome =
        Upload(kUnitAddress, row.local == LocalFile::kNull ? nullptr : path.c_str(), row.remoteName);
    EXPECT_FALSE(outcome.stored);
    if (row.text != nullptr) {
        EXPECT_EQ(outcome.text, row.text);
    } else {
        EXPECT_EQ(outcome.text.rfind("File upload error. ", 0), 0u) << outcome.text;
        EXPECT_LE(outcome.text.size(), 76u) << outcome.text;
    }
    EXPECT_EQ(log_.Since(), std::vector<std::string>{});
    EXPECT_EQ(FileNames(UnitHome()), std::vector<std::string>{}) << "no empty file on the unit";
}

INSTANTIATE_TEST_SUITE_P(Arguments, ArgumentTest, ::testing::ValuesIn(kArgumentCases),
                         [](const auto& info) { return std::string(info.param.label); });

// On Linux a connection to 0.0.0.0 reaches the machine itself; a listener on every local address
// of the administrator's side shows whether the upload tried.
TEST_F(FtpFailureTest, AddressZeroIsRefusedWithoutConnecting) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    const int reuse = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(21);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0) << errno;
    ASSERT_EQ(listen(listener, 4), 0);

    const UploadOutcome outcome = Upload(0, page_.c_str(), "INDEX.HTM");
    EXPECT_FALSE(outcome.stored);
    EXPECT_EQ(outcome.text, kConnectionText);
    EXPECT_LT(outcome.seconds, 0.5);
    EXPECT_EQ(accept(listener, nullptr, nullptr), -1) << "the upload connected to this machine";
    close(listener);
}

// What a failed upload leaves on a unit that had created the file.
enum class PartialFile {
    kNone,     // the unit never created it
    kDeleted,  // deleted after the failure
    kLeft,     // the unit went away with it
};

struct ServerCase {
    const char* label;
    const char* address;
    std::vector<std::string> serverOptions;  // no server at all when empty
    off_t fileSize;
    const char* text;
    double minSeconds;  // the silence the unit is allowed first
    double maxSeconds;
    PartialFile partialFile;
};

constexpr off_t kMiB = off_t{1} << 20;

const ServerCase kServerCases[] = {
    // Nothing listens on the spare address: the connection is refused at once.
    {"NoServer", "10.77.200.1", {}, 1024, kConnectionText, 0.0, 1.0, PartialFile::kNone},
    // No host answers ARP for the address: every connect attempt times out or finds no route.
    {"NoHost", "10.77.250.1", {}, 1024, kConnectionText, 0.0, 8.0, PartialFile::kNone},
    {"LoginRefused", "10.77.200.2", {"--password", "not-lqm"}, 1024, kConnectionText, 0.0, 2.0, PartialFile::kNone},
    {"StoreRefused", "10.77.200.3", {"--read-only"}, 1024, kSendText, 0.0, 3.0, PartialFile::kNone},
    {"ServerKilledMidTransfer", "10.77.200.4", {"--exit-after", "1048576"}, 32 * kMiB, kSendText, 0.0, 3.0,
     PartialFile::kLeft},
    // Five seconds in which the unit takes no byte, noticed within libcurl's one-second progress
    // ticks, then a new connection for the DELE.
    {"ServerStopsReading", "10.77.200.5", {"--stall-after", "1048576"}, 64 * kMiB, kSendText, 5.0, 8.0,
     PartialFile::kDeleted},
    // The unit took every byte, and the 226 never comes: five seconds.
    {"FinalReplyWithheld", "10.77.200.6", {"--withhold-final-reply"}, 1024, kSendText, 5.0, 8.0,
     PartialFile::kDeleted},
};

void PrintTo(const ServerCase& row, std::ostream* out) { *out << row.label; }

class ServerFailureTest : public FtpFailureTest, public ::testing::WithParamInterface<ServerCase> {};

TEST_P(ServerFailureTest, FailsWithItsTextInBoundedTimeAndLeavesNoPartialFile) {
    const ServerCase& row = GetParam();
    std::unique_ptr<SpareServer> server;
    if (!row.serverOptions.empty()) server = std::make_unique<SpareServer>(row.address, row.serverOptions);
    const std::string path = local_ + "/upload.bin";
    WriteSparseFile(path, row.fileSize);

    const UploadOutcome outcome = TracedUpload(ntohl(inet_addr(row.address)), path.c_str(), "UPLOAD.BIN");
    EXPECT_FALSE(outcome.stored);
    EXPECT_EQ(outcome.text, row.text);
    EXPECT_GE(outcome.seconds, row.minSeconds);
    EXPECT_LT(outcome.seconds, row.maxSeconds);
    if (!server) return;

    // Only a connect that fails is tried again, never a login the unit refused.
    const std::vector<std::string> commands = CommandLog(server->CommandLogPath(), row.address).Since();
    const auto store = std::find(commands.begin(), commands.end(), "STOR UPLOAD.BIN");
    EXPECT_EQ(std::count(commands.begin(), store, "USER lqm"), 1);

    const bool deleteTried = outcome.trace.find("varl: ftp deleting the partial file \"UPLOAD.BIN\"\n") != std::string::npos;
    const bool deleted = outcome.trace.find("varl: ftp deleted the partial file\n") != std::string::npos;
    EXPECT_EQ(deleteTried, row.partialFile != PartialFile::kNone) << outcome.trace;
    EXPECT_EQ(deleted, row.partialFile == PartialFile::kDeleted) << outcome.trace;
    EXPECT_EQ(FileNames(server->Home()).size(), row.partialFile == PartialFile::kLeft ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerFailureTest, ::testing::ValuesIn(kServerCases),
                         [](const auto& info) { return std::string(info.param.label); });

// The unit goes away between login and store. libcurl then connects again on its own for the
// store, which fails at the TCP connect: that is a connection failure, not a failed send.
TEST_F(FtpFailureTest, UnitGoneBetweenLoginAndStoreFailsWithTheConnectionText) {
    const SpareServer server("10.77.200.7", {"--exit-after-login"});
    performs = 0;
    pauseBeforeSecondPerform = std::chrono::milliseconds(1000);
    const UploadOutcome outcome = Upload(ntohl(inet_addr("10.77.200.7")), page_.c_str(), "PAGE.HTM");
    pauseBeforeSecondPerform = {};
    ASSERT_EQ(performs, 2) << "logged in once, then tried to store";
    EXPECT_FALSE(outcome.stored);
    EXPECT_EQ(outcome.text, kConnectionText);
}

TEST_F(FtpFailureTest, ConnectRefusedOnceIsTriedAgainAndStoresTheFile) {
    const SpareServer server("10.77.200.1", {});
    // The first connection attempt gets a TCP reset, as a closed port would give; later ones pass.
    // A SYN is 60 bytes: the quota lets the rule match the first one only.
    const LabOutputRule refusal(
        "ip daddr 10.77.200.1 tcp dport 21 tcp flags syn quota until 100 bytes counter reject with tcp reset");
    const UploadOutcome outcome = Upload(ntohl(inet_addr("10.77.200.1")), page_.c_str(), "PAGE.HTM");
    ASSERT_EQ(refusal.Counted(), 1) << "connection attempts refused";
    ASSERT_TRUE(outcome.stored) << outcome.text;
    EXPECT_EQ(ReadFile(server.Home() + "/PAGE.HTM"), "<html></html>\n");
}

}  // namespace
}  // namespace ftp_lab
