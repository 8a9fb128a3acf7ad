// Storing one local file on a unit's FTP server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "status.h"

namespace varl {

// The units' fixed login: the same three letters as user name and password.
inline constexpr const char* kFtpLogin = "lqm";

// Logs in to the FTP server on port 21 of address (first octet in the most significant byte) as
// "lqm"/"lqm" and stores the file at localPath (blanks around it removed) under remoteName,
// unchanged, in the login directory: TYPE A announced, the file's bytes sent as they are on disk.
// Active mode first; when the unit's server cannot open that data connection (a firewall on the
// PC), once more in passive mode. A transfer that fails after the unit created the file has the
// partial file deleted where the unit allows it.
Status UploadFile(uint32_t address, const char* localPath, const char* remoteName);

// The local file as the transfer reads it: in blocks, never whole. Owns the descriptor.
class UploadSource {
public:
    explicit UploadSource(int fd) noexcept : fd_(fd) {}
    ~UploadSource();
    UploadSource(const UploadSource&) = delete;
    UploadSource& operator=(const UploadSource&) = delete;

    // Reads the first block before anything is sent, so that a file that cannot be read (a
    // folder, an I/O error) fails before the unit creates an empty file. False on a read error.
    bool ReadAhead();

    // Back to the first byte, read ahead again, for a second attempt. False on a read error.
    bool Rewind();

    // The bytes handed to libcurl so far.
    uint64_t handed() const { return handed_; }

    // libcurl's read callback, with the source as its user data. A read error aborts the
    // transfer: returning 0 would end the upload as a success with a truncated file.
    static std::size_t CurlRead(char* buffer, std::size_t size, std::size_t count, void* source);

private:
    std::size_t Read(char* buffer, std::size_t capacity);

    int fd_;
    std::vector<char> ahead_;
    std::size_t aheadOffset_ = 0;
    uint64_t handed_ = 0;
};

}  // namespace varl
