#include "datagram_log.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>

namespace sim {
namespace {

int HexDigit(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
}

// The next blank-separated field of line, which then starts after it; empty at the end.
std::string_view NextField(std::string_view& line) {
    const std::size_t end = std::min(line.find(' '), line.size());
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(std::min(end + 1, line.size()));
    return field;
}

}  // namespace

std::string FormatLogLine(std::string_view timestamp, std::string_view source, std::string_view link,
                          std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string line;
    line.reserve(timestamp.size() + source.size() + link.size() + 16 + bytes.size() * 2);
    line.append(timestamp).append(" ").append(source).append(" ").append(link).append(" ");
    line.append(std::to_string(bytes.size()));
    line.append(" ");
    for (unsigned char byte : bytes) {
        line.push_back(kHex[byte >> 4]);
        line.push_back(kHex[byte & 15]);
    }
    return line;
}

std::optional<LoggedDatagram> ParseLogLine(std::string_view line) {
    const std::string_view stamp = NextField(line);
    const std::string_view source = NextField(line);
    const std::string_view link = NextField(line);
    const std::string_view length = NextField(line);
    const std::string_view hex = line;  // empty for a datagram of no bytes
    LoggedDatagram datagram;
    const std::size_t colon = source.rfind(':');
    const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), datagram.length);
    if (stamp.empty() || colon == std::string_view::npos || link.empty() || error != std::errc() ||
        end != length.data() + length.size() || length.empty() || hex.size() != 2 * datagram.length) {
        return std::nullopt;
    }
    datagram.sourceAddress = source.substr(0, colon);
    datagram.link = link;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        datagram.bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return datagram;
}

DatagramLog::DatagramLog(const std::string& path) : file_(std::fopen(path.c_str(), "a")) {}

DatagramLog::~DatagramLog() {
    if (file_ != nullptr) std::fclose(file_);
}

void DatagramLog::Record(std::string_view source, std::string_view link, std::string_view bytes) {
    if (file_ == nullptr) return;
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    auto micros = duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<long>(micros));
    std::string line = FormatLogLine(stamp, source, link, bytes);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

}  // namespace sim
