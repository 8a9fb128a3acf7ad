// Uploads that reach unit 0's FTP server in the lab: which remote names pass and how they arrive,
// what goes over the wire and what the trace tells of it, the local path, the last-error text
// across uploads, a slow link, and memory use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ftp_lab.h"
#include "varl.h"

namespace ftp_lab {
namespace {

const char* const kControlCharacterText = "File upload error. Remote file name holds a control character.";

std::string Verb(const std::string& command) { return command.substr(0, command.find(' ')); }

class FtpUploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        EmptyFolder(UnitHome());
        local_ = MakeLocalFolder();
        log_.Mark();
    }

    std::string LocalFile(const std::string& name, std::string_view bytes) {
        const std::string path = local_ + "/" + name;
        WriteFile(path, bytes);
        return path;
    }

    std::string local_;
    CommandLog log_{LabDir() + "/ftp-commands.log", kUnitAddressText};
};

struct NameCase {
    const char* label;
    std::string remoteName;
    const char* text;  // null: stored under exactly this name
    bool connects;     // whether the unit sees the client at all
};

const NameCase kNameCases[] = {
    {"EightDotThree", "INDEX.HTM", nullptr, true},
    {"EightBeforeTheDot", "ABCDEFGH.HTM", nullptr, true},
    {"NineBeforeTheDot", "ABCDEFGHI.HTM", kNameNot83Text, false},
    {"NoDot", "README", nullptr, true},
    {"NineWithoutADot", "ABCDEFGHI", kNameNot83Text, false},
    {"LongExtension", "PAGE.TEMPLATE", nullptr, true},
    {"SeveralDots", "A.B.C", nullptr, true},
    {"LeadingDot", ".PROFILE", nullptr, true},
    {"BlankInside", "MY PAGE.HTM", nullptr, true},
    {"TrailingBlanks", "INDEX.HTM  ", nullptr, true},
    {"TrailingBlankCountsBeforeTheDot", "ABCDEFGH ", kNameNot83Text, false},
    {"UrlCharacters", "%41#?;.X&+", nullptr, true},
    {"TypeSuffixLookalike", "A;type=a", nullptr, true},
    {"TwoLeadingDots", "..HTM", nullptr, true},
    {"Utf8Letters", "\xC3\xA4\xC3\xB6.HTM", nullptr, true},
    {"Empty", "", kSendText, true},
    {"CrLfStartsACommand", "A\r\nRMD .", kControlCharacterText, false},
    {"LineFeedOnly", "A\nQUIT.X", kControlCharacterText, false},
    {"Tab", "A\tB.HTM", kControlCharacterText, false},
    {"Delete", "A\x7F.HTM", kControlCharacterText, false},
};

// Failures name the row, not its bytes.
void PrintTo(const NameCase& row, std::ostream* out) { *out << row.label; }

class RemoteNameTest : public FtpUploadTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(RemoteNameTest, StoresUnchangedOrFailsWithItsText) {
    const NameCase& row = GetParam();
    const std::string content = "<html>" + std::string(row.label) + "</html>\n";
    const UploadOutcome outcome = Upload(kUnitAddress, LocalFile("page.htm", content).c_str(), row.remoteName.c_str());
    const std::vector<std::string> commands = log_.Since();

    if (row.text == nullptr) {
        ASSERT_TRUE(outcome.stored) << outcome.text;
        EXPECT_EQ(FileNames(UnitHome()), std::vector<std::string>{row.remoteName});
        EXPECT_EQ(ReadFile(UnitHome() + "/" + row.remoteName), content);
        EXPECT_EQ(std::count(commands.begin(), commands.end(), "STOR " + row.remoteName), 1);
    } else {
        EXPECT_FALSE(outcome.stored);
        EXPECT_EQ(outcome.text, row.text);
        EXPECT_LE(outcome.text.size(), 76u);
        EXPECT_EQ(FileNames(UnitHome()), std::vector<std::string>{});
        EXPECT_EQ(std::count_if(commands.begin(), commands.end(), [](auto& c) { return Verb(c) == "STOR"; }), 0);
    }
    if (!row.connects) {
        EXPECT_EQ(commands, std::vector<std::string>{}) << "nothing reaches the unit";
    }
}

INSTANTIATE_TEST_SUITE_P(Names, RemoteNameTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(FtpUploadTest, WireCarriesLoginActiveModeTypeAAndTheExactBytes) {
    std::string bytes = "unix line\nwindows line\r\nlone CR\rtwo LFs\n\n";
    for (int value = 0; value < 256; ++value) bytes.push_back(static_cast<char>(value));
    bytes += "ends in CR\r";

    const UploadOutcome outcome = Upload(kUnitAddress, LocalFile("wire.bin", bytes).c_str(), "WIRE.BIN");
    ASSERT_TRUE(outcome.stored) << outcome.text;
    EXPECT_EQ(ReadFile(UnitHome() + "/WIRE.BIN"), bytes);

    const std::vector<std::string> commands = log_.Since();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[0], "USER lqm");
    EXPECT_EQ(commands[1], "PASS lqm");
    auto count = [&](std::initializer_list<const char*> verbs) {
        return std::count_if(commands.begin(), commands.end(), [&](const std::string& command) {
            return std::find(verbs.begin(), verbs.end(), Verb(command)) != verbs.end();
        });
    };
    EXPECT_EQ(count({"EPRT", "PORT"}), 1) << "one active-mode data connection";
    EXPECT_EQ(count({"PASV", "EPSV"}), 0);
    EXPECT_EQ(count({"CWD", "CDUP"}), 0);

    const auto store = std::find(commands.begin(), commands.end(), "STOR WIRE.BIN");
    ASSERT_NE(store, commands.end());
    const auto lastType = std::find_if(std::make_reverse_iterator(store), commands.rend(),
                                       [](const std::string& command) { return Verb(command) == "TYPE"; });
    ASSERT_NE(lastType, commands.rend());
    EXPECT_EQ(*lastType, "TYPE A") << "the type in force at STOR";
}

// The password is the user name's three letters: only the PASS line could show it.
TEST_F(FtpUploadTest, TraceShowsCommandsRepliesAndModeButNeverThePassword) {
    const UploadOutcome outcome = TracedUpload(kUnitAddress, LocalFile("page.htm", "traced\n").c_str(), "TRACE.HTM");
    ASSERT_TRUE(outcome.stored) << outcome.text;
    for (const char* line : {
             "varl: upload to 10.77.0.10 as \"TRACE.HTM\"\n",
             "varl: ftp connecting to 10.77.0.10:21\n",
             "varl: ftp received \"220 Quorrel unit FTP server ready.\"\n",
             "varl: ftp sent \"USER lqm\"\n",
             "varl: ftp sent \"PASS ***\"\n",
             "varl: ftp received \"230 Login successful.\"\n",
             "varl: ftp sent \"STOR TRACE.HTM\"\n",
             "varl: ftp data connection in active mode: 10.77.0.10:",
             " to 10.77.0.1:",
             "varl: ftp received \"226 Transfer complete.\"\n",
             "varl: ftp stored the file in active mode: the unit took 7 bytes in ",
         }) {
        EXPECT_NE(outcome.trace.find(line), std::string::npos) << "no " << line << " in\n" << outcome.trace;
    }
    EXPECT_EQ(outcome.trace.find("PASS lqm"), std::string::npos) << outcome.trace;
}

// A shell command for the lab's side of the administrator, and the command that undoes it when the
// object goes.
class LabChange {
public:
    LabChange(const std::string& change, std::string undo) : undo_(std::move(undo)) {
        if (std::system(change.c_str()) != 0) throw std::runtime_error("failed: " + change);
    }
    ~LabChange() {
        if (std::system(undo_.c_str()) != 0) std::fprintf(stderr, "failed to undo: %s\n", undo_.c_str());
    }
    LabChange(const LabChange&) = delete;
    LabChange& operator=(const LabChange&) = delete;

private:
    std::string undo_;
};

struct SlowLinkCase {
    const char* label;
    std::size_t fileSize;
    const char* sendBuffer;  // the socket send buffer's start, as tcp_wmem gives it; null: the kernel's own
};

// When libcurl hands over the last byte, the kernel's send buffer still holds seconds of the file:
// the wait for the final reply must start once the unit has taken it all. With a send buffer
// larger than the file, libcurl hands it all over at once, and the unit takes longer than the
// final reply is waited for.
const SlowLinkCase kSlowLinkCases[] = {
    {"KernelSendBuffer", 600000, nullptr},
    {"SendBufferHoldsTheWholeFile", 800000, "4194304"},
};

void PrintTo(const SlowLinkCase& row, std::ostream* out) { *out << row.label; }

class SlowLinkTest : public FtpUploadTest, public ::testing::WithParamInterface<SlowLinkCase> {};

TEST_P(SlowLinkTest, StoresTheWholeFileThroughOneMegabitPerSecond) {
    const SlowLinkCase& row = GetParam();
    const std::string bytes = RandomBytes(row.fileSize);
    const std::string path = LocalFile("slow.bin", bytes);
    std::unique_ptr<LabChange> buffer;
    if (row.sendBuffer != nullptr) {
        std::string kernel = ReadFile("/proc/sys/net/ipv4/tcp_wmem");  // "MIN\tSTART\tMAX\n"
        std::replace(kernel.begin(), kernel.end(), '\t', ' ');
        kernel.pop_back();
        buffer = std::make_unique<LabChange>(
            std::string("sysctl -q -w net.ipv4.tcp_wmem='4096 ") + row.sendBuffer + " 4194304'",
            "sysctl -q -w net.ipv4.tcp_wmem='" + kernel + "'");
    }
    const LabChange link("tc qdisc add dev lab0 root tbf rate 1mbit burst 32kbit latency 400ms",
                         "tc qdisc del dev lab0 root");

    const UploadOutcome outcome = Upload(kUnitAddress, path.c_str(), "SLOW.BIN");
    ASSERT_TRUE(outcome.stored) << outcome.text << " after " << outcome.seconds << " s";
    EXPECT_TRUE(HoldsExactly(UnitHome() + "/SLOW.BIN", bytes));
    EXPECT_GT(outcome.seconds, static_cast<double>(row.fileSize) * 8 / 1e6) << "the link was not that slow";
}

INSTANTIATE_TEST_SUITE_P(Links, SlowLinkTest, ::testing::ValuesIn(kSlowLinkCases),
                         [](const auto& info) { return std::string(info.param.label); });

struct LocalPathCase {
    const char* label;
    const char* before;
    const char* folder;
    const char* after;
};

const LocalPathCase kLocalPathCases[] = {
    {"BlanksAround", "  ", "plain", "  "},
    {"EveryWhiteSpaceAround", " \t\n\v\f\r", "plain", "\r\n\t "},
    {"BlankInsideKept", "", "with blank", ""},
};

void PrintTo(const LocalPathCase& row, std::ostream* out) { *out << row.label; }

class LocalPathTest : public FtpUploadTest, public ::testing::WithParamInterface<LocalPathCase> {};

TEST_P(LocalPathTest, IsTrimmedAtBothEndsOnly) {
    const LocalPathCase& row = GetParam();
    std::filesystem::create_directories(local_ + "/" + row.folder);
    const std::string path = LocalFile(std::string(row.folder) + "/page.htm", "trimmed\n");
    const std::string argument = row.before + path + row.after;

    const UploadOutcome outcome = Upload(kUnitAddress, argument.c_str(), "PAGE.HTM");
    ASSERT_TRUE(outcome.stored) << outcome.text;
    EXPECT_EQ(ReadFile(UnitHome() + "/PAGE.HTM"), "trimmed\n");
}

INSTANTIATE_TEST_SUITE_P(Paths, LocalPathTest, ::testing::ValuesIn(kLocalPathCases),
                         [](const auto& info) { return std::string(info.param.label); });

struct ProxyCase {
    const char* label;
    const char* variable;
};

void PrintTo(const ProxyCase& row, std::ostream* out) { *out << row.label; }

class ProxyTest : public FtpUploadTest, public ::testing::WithParamInterface<ProxyCase> {};

// Nothing listens at the proxy's address: were it used, the upload would fail.
TEST_P(ProxyTest, DeadProxyInTheEnvironmentIsNotUsed) {
    const std::string path = LocalFile("page.htm", "direct\n");
    setenv(GetParam().variable, "http://10.77.200.8:9", 1);
    const UploadOutcome outcome = Upload(kUnitAddress, path.c_str(), "PAGE.HTM");
    unsetenv(GetParam().variable);
    ASSERT_TRUE(outcome.stored) << outcome.text;
    EXPECT_EQ(ReadFile(UnitHome() + "/PAGE.HTM"), "direct\n");
}

INSTANTIATE_TEST_SUITE_P(Variables, ProxyTest,
                         ::testing::Values(ProxyCase{"FtpProxy", "ftp_proxy"}, ProxyCase{"AllProxy", "all_proxy"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(FtpUploadTest, EmptyLocalFileIsStoredEmpty) {
    const UploadOutcome outcome = Upload(kUnitAddress, LocalFile("empty.htm", "").c_str(), "EMPTY.HTM");
    ASSERT_TRUE(outcome.stored) << outcome.text;
    EXPECT_EQ(FileNames(UnitHome()), std::vector<std::string>{"EMPTY.HTM"});
    EXPECT_EQ(ReadFile(UnitHome() + "/EMPTY.HTM"), "");
}

TEST_F(FtpUploadTest, SuccessAfterFailureLeavesTheEarlierText) {
    const std::string path = LocalFile("page.htm", "page\n");
    EXPECT_EQ(VARL_Admin_UploadFile(kUnitAddress, path.c_str(), "", "ABCDEFGHI.HTM", 0), 0);
    EXPECT_NE(VARL_Admin_UploadFile(kUnitAddress, path.c_str(), "", "INDEX.HTM", 0), 0);

    char text[500];
    VARL_Error_LastErr(text);
    EXPECT_STREQ(text, kNameNot83Text);
    VARL_Error_LastErr(text);
    EXPECT_STREQ(text, "");
}

long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, field.size() + 1, field + ":") == 0) return std::stol(line.substr(field.size() + 1));
    }
    return -1;
}

TEST_F(FtpUploadTest, A256MiBUploadKeepsPeakMemoryFlat) {
    constexpr off_t kSize = off_t{256} << 20;
    const std::string path = local_ + "/big.bin";
    WriteSparseFile(path, kSize);

    // Writing 5 to clear_refs resets the peak (VmHWM) to the present resident size.
    const long resident = StatusKiB("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKiB("VmHWM");
    ASSERT_LT(before - resident, 1024) << "peak memory could not be reset";

    const UploadOutcome outcome = Upload(kUnitAddress, path.c_str(), "BIG.BIN");
    const long peak = StatusKiB("VmHWM");
    ASSERT_TRUE(outcome.stored) << outcome.text;
    EXPECT_EQ(FileSize(UnitHome() + "/BIG.BIN"), kSize);

    const long growth = peak - before;
    std::cout << "256 MiB upload in " << outcome.seconds << " s: peak resident memory " << peak << " KiB, "
              << growth << " KiB above the " << before << " KiB before the upload\n";
    RecordProperty("peak_growth_kib", static_cast<int>(growth));
    EXPECT_LT(growth, 16 * 1024) << "the file is streamed, never held whole";
    std::filesystem::remove(UnitHome() + "/BIG.BIN");
}

}  // namespace
}  // namespace ftp_lab
