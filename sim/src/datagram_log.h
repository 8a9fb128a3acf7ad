// The simulator's record of every datagram it receives, for tests to read.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace sim {

// One line per datagram: "TIMESTAMP SOURCE_IP:SOURCE_PORT LENGTH HEX", the timestamp in UTC with
// microseconds and the bytes in lower-case hex (nothing after the length for an empty datagram).
std::string FormatLogLine(std::string_view timestamp, std::string_view source, std::string_view bytes);

class DatagramLog {
public:
    explicit DatagramLog(const std::string& path);
    ~DatagramLog();
    DatagramLog(const DatagramLog&) = delete;
    DatagramLog& operator=(const DatagramLog&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // Appends and flushes at once, so a reader sees the line as soon as the datagram is handled.
    void Record(std::string_view source, std::string_view bytes);

private:
    std::FILE* file_ = nullptr;
};

}  // namespace sim
