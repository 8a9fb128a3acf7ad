#include "datagram_log.h"

#include <chrono>
#include <ctime>

namespace sim {

std::string FormatLogLine(std::string_view timestamp, std::string_view source, std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string line;
    line.reserve(timestamp.size() + source.size() + 16 + bytes.size() * 2);
    line.append(timestamp).append(" ").append(source).append(" ").append(std::to_string(bytes.size()));
    line.append(" ");
    for (unsigned char byte : bytes) {
        line.push_back(kHex[byte >> 4]);
        line.push_back(kHex[byte & 15]);
    }
    return line;
}

DatagramLog::DatagramLog(const std::string& path) : file_(std::fopen(path.c_str(), "a")) {}

DatagramLog::~DatagramLog() {
    if (file_ != nullptr) std::fclose(file_);
}

void DatagramLog::Record(std::string_view source, std::string_view bytes) {
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
    std::string line = FormatLogLine(stamp, source, bytes);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

}  // namespace sim
