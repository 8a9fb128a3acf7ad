#include "upload_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorrel::cli {
namespace {

// "0:07", "12:34", "1:02:03".
std::string Clock(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(seconds));
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

// The terminal's width, or 0 when standard error is no terminal.
std::size_t TerminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

}  // namespace

void UploadProgress::Finished(bool stored, Elapsed elapsed) {
    ++m_done;
    if (stored) m_storedBytes += m_fileSize;
    m_lastFinished = elapsed;
}

std::string UploadProgress::Line(Elapsed now) const {
    std::string line = "Uploading: " + std::to_string(m_done) + " of " + std::to_string(m_units) + " units done, " +
                       ByteCount(static_cast<double>(m_storedBytes)) + " stored";
    const double secondsAtLast = std::chrono::duration<double>(m_lastFinished).count();
    if (m_storedBytes == 0 || secondsAtLast <= 0 || m_done == m_units) return line;
    const double rate = static_cast<double>(m_storedBytes) / secondsAtLast;
    const double toStore = static_cast<double>(m_units - m_done) * static_cast<double>(m_fileSize);
    const double sinceLast = std::chrono::duration<double>(now - m_lastFinished).count();
    return line + ", " + ByteCount(rate) + "/s, " + Clock(std::max(0.0, toStore / rate - sinceLast)) + " left";
}

std::string ByteCount(double bytes) {
    if (bytes < 1024) return std::to_string(static_cast<long long>(bytes)) + " B";
    const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
    std::size_t unit = 0;
    bytes /= 1024;
    while (bytes >= 1024 && unit + 1 < std::size(units)) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", bytes, units[unit]);
    return text;
}

void TerminalLine::Draw(const std::string& text) {
    // A line wider than the terminal would wrap, and the carriage return would then redraw only
    // its last part.
    const std::size_t columns = TerminalColumns();
    const std::string shown = columns > 1 && text.size() >= columns ? text.substr(0, columns - 1) : text;
    m_terminal << "\r" << shown << "\x1b[K" << std::flush;
    m_drawn = true;
}

void TerminalLine::Clear() {
    if (!m_drawn) return;
    m_terminal << "\r\x1b[K" << std::flush;
    m_drawn = false;
}

}  // namespace quorrel::cli
