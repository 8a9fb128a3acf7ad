// The simulator's record of every datagram it receives, and how tests read it back.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// One line per datagram: "TIMESTAMP SOURCE_IP:SOURCE_PORT LINK LENGTH HEX", the timestamp in UTC
// with microseconds, LINK the units' side interface it came in on, and the bytes in lower-case hex
// (nothing after the length for an empty datagram).
std::string FormatLogLine(std::string_view timestamp, std::string_view source, std::string_view link,
                          std::string_view bytes);

// One datagram as its log line gives it back.
struct LoggedDatagram {
    std::string sourceAddress;  // without the port
    std::size_t length = 0;
    std::string bytes;  // decoded from HEX
    std::string link;

    bool operator==(const LoggedDatagram&) const = default;
};

// Reads one log line without its newline; nothing when the line does not have the format above
// (HEX being LENGTH bytes in lower-case hex).
std::optional<LoggedDatagram> ParseLogLine(std::string_view line);

class DatagramLog {
public:
    explicit DatagramLog(const std::string& path);
    ~DatagramLog();
    DatagramLog(const DatagramLog&) = delete;
    DatagramLog& operator=(const DatagramLog&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // Appends and flushes at once, so a reader sees the line as soon as the datagram is handled.
    void Record(std::string_view source, std::string_view link, std::string_view bytes);

private:
    std::FILE* file_ = nullptr;
};

}  // namespace sim
