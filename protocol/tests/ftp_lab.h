// What the FTP upload tests use of the lab: the units' folders and command log, FTP servers of their
// own on the spare addresses, and one upload through the library's exports, timed and traced.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ftp_lab {

// Unit 0 of the lab and its FTP home.
inline constexpr uint32_t kUnitAddress = 0x0A4D000A;
inline constexpr const char* kUnitAddressText = "10.77.0.10";

inline constexpr const char* kNameNot83Text = "File upload error. Remote file name must use 8.3 format.";
inline constexpr const char* kConnectionText = "Communications error. Could not open transfer connection.";
inline constexpr const char* kSendText = "Communications error. Could not send file.";

// $LAB_DIR; throws when the test runs outside the lab.
std::string LabDir();
std::string UnitHome();
// A fresh folder for one test's local files, below $LAB_DIR.
std::string MakeLocalFolder();

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);
// A file of size bytes that reads as zeros and occupies no disk space.
void WriteSparseFile(const std::string& path, off_t size);
off_t FileSize(const std::string& path);
std::vector<std::string> FileNames(const std::string& folder);
void EmptyFolder(const std::string& folder);

// The command lines one address's FTP server received since the last Mark, without the address.
class CommandLog {
public:
    CommandLog(std::string path, std::string address);
    void Mark();
    std::vector<std::string> Since() const;

private:
    std::string path_;
    std::string prefix_;
    std::string::size_type mark_ = 0;
};

// An FTP server of the units' kind (sim/ftp_server.py) on a spare address of the units' side,
// started with extra options; the object's end ends it.
class SpareServer {
public:
    SpareServer(const std::string& address, const std::vector<std::string>& options);
    ~SpareServer();
    SpareServer(const SpareServer&) = delete;
    SpareServer& operator=(const SpareServer&) = delete;

    std::string Home() const { return root_ + "/" + address_; }
    std::string CommandLogPath() const { return root_ + "/commands.log"; }

private:
    std::string address_;
    std::string root_;
    pid_t pid_ = -1;
};

struct UploadOutcome {
    bool stored;
    std::string text;  // the last-error text fetched right after a false result
    double seconds;
    std::string trace;  // what the library wrote to standard error, traced uploads only
};

// VARL_Admin_UploadFile as the tool calls it (empty third argument, 0 as the fifth).
UploadOutcome Upload(uint32_t address, const char* localPath, const char* remoteName);
// The same with VARL_TRACE=1, standard error kept in the outcome.
UploadOutcome TracedUpload(uint32_t address, const char* localPath, const char* remoteName);

// Bytes that no compression or coincidence makes look whole when they are not.
std::string RandomBytes(std::size_t size);
// Whether the file at path holds exactly bytes; a failure says where they part, not what they are.
::testing::AssertionResult HoldsExactly(const std::string& path, const std::string& bytes);

}  // namespace ftp_lab
