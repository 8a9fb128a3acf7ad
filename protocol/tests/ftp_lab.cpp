#include "ftp_lab.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <thread>

#include "varl.h"

namespace fs = std::filesystem;

namespace ftp_lab {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        throw std::runtime_error(std::string(name) + " is not set: run this test inside scripts/lab");
    }
    return value;
}

}  // namespace

std::string LabDir() { return Environment("LAB_DIR"); }

std::string UnitHome() { return LabDir() + "/ftp/" + kUnitAddressText; }

std::string MakeLocalFolder() {
    static int made = 0;
    const std::string folder = LabDir() + "/local-" + std::to_string(++made);
    fs::create_directories(folder);
    return folder;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteSparseFile(const std::string& path, off_t size) {
    WriteFile(path, "");
    fs::resize_file(path, static_cast<std::uintmax_t>(size));
}

off_t FileSize(const std::string& path) { return static_cast<off_t>(fs::file_size(path)); }

std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
}

void EmptyFolder(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
}

CommandLog::CommandLog(std::string path, std::string address)
    : path_(std::move(path)), prefix_(std::move(address) + " ") {}

void CommandLog::Mark() { mark_ = fs::exists(path_) ? ReadFile(path_).size() : 0; }

std::vector<std::string> CommandLog::Since() const {
    std::vector<std::string> commands;
    if (!fs::exists(path_)) return commands;
    const std::string text = ReadFile(path_);
    // A command may itself hold a CR; only LF ends a log line.
    for (auto start = mark_; start < text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.compare(0, prefix_.size(), prefix_) == 0) commands.push_back(line.substr(prefix_.size()));
        start = end + 1;
    }
    return commands;
}

SpareServer::SpareServer(const std::string& address, const std::vector<std::string>& options)
    : address_(address) {
    static int started = 0;
    root_ = LabDir() + "/spare-" + std::to_string(++started);
    fs::create_directories(root_);
    const std::string ready = root_ + "/ready";
    const std::string netns = "--net=" + Environment("LAB_UNITS_NETNS");
    const std::string server = Environment("LAB_FTP_SERVER");
    const std::string log = CommandLogPath();

    std::vector<std::string> args = {"nsenter", netns, "/usr/bin/python3", server, "--root", root_,
                                     "--command-log", log, "--ready-file", ready};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(address);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        // pyftpdlib logs every session on standard error; keep that out of the test's output.
        const int serverLog = open((root_ + "/server.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (serverLog >= 0) dup2(serverLog, STDERR_FILENO);
        execv("/usr/bin/nsenter", argv.data());
        _exit(127);
    }
    for (int waited = 0; waited < 1000; ++waited) {
        if (fs::exists(ready) && fs::file_size(ready) > 0) return;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("the FTP server on " + address + " did not start");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    throw std::runtime_error("the FTP server on " + address + " did not get ready");
}

SpareServer::~SpareServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    // The server ends within a quarter second of SIGTERM; one that does not is a fault of the lab
    // to report, not a reason to hang the whole test until its time-out.
    for (int waited = 0; waited < 500; ++waited) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the FTP server on " << address_ << " did not end on SIGTERM";
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

UploadOutcome TracedUpload(uint32_t address, const char* localPath, const char* remoteName) {
    static int traces = 0;
    const std::string path = LabDir() + "/trace-" + std::to_string(++traces);
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0) throw std::runtime_error("cannot write " + path);
    std::fflush(stderr);
    const int standardError = dup(STDERR_FILENO);
    dup2(file, STDERR_FILENO);
    close(file);
    setenv("VARL_TRACE", "1", 1);
    UploadOutcome outcome = Upload(address, localPath, remoteName);
    unsetenv("VARL_TRACE");
    dup2(standardError, STDERR_FILENO);
    close(standardError);
    outcome.trace = ReadFile(path);
    return outcome;
}

std::string RandomBytes(std::size_t size) {
    std::mt19937 generator(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

::testing::AssertionResult HoldsExactly(const std::string& path, const std::string& bytes) {
    const std::string stored = ReadFile(path);
    const auto parted = std::mismatch(stored.begin(), stored.end(), bytes.begin(), bytes.end());
    if (parted.first == stored.end() && parted.second == bytes.end()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << path << " holds " << stored.size() << " bytes of " << bytes.size()
                                         << ", the first " << (parted.first - stored.begin()) << " of them right";
}

UploadOutcome Upload(uint32_t address, const char* localPath, const char* remoteName) {
    const auto start = std::chrono::steady_clock::now();
    UploadOutcome outcome{VARL_Admin_UploadFile(address, localPath, "", remoteName, 0) != 0, {}, 0.0, {}};
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!outcome.stored) {
        char text[500];
        VARL_Error_LastErr(text);
        outcome.text = text;
    }
    return outcome;
}

}  // namespace ftp_lab
