// The one line that shows how far an upload to many units has come: units done of all, bytes
// stored, the rate and the time left. Clock-free: the caller says when each unit finished and
// when the line is drawn.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace quorrel::cli {

// The library reports nothing while a file is on its way, so the line counts whole units: the
// rate is the bytes of the units stored so far over the time since the start, taken when a unit
// finishes; the time left is what remains to store at that rate, counting down until the next
// unit finishes. A unit that failed counts as done and adds no bytes.
class UploadProgress {
public:
    using Elapsed = std::chrono::steady_clock::duration;

    UploadProgress(std::size_t units, std::uintmax_t fileSize) : m_units(units), m_fileSize(fileSize) {}

    // A unit finished, elapsed after the start.
    void Finished(bool stored, Elapsed elapsed);

    // "Uploading: 12 of 40 units done, 48.0 MiB stored, 8.1 MiB/s, 0:24 left", the rate and the
    // time left once a unit has stored the file.
    std::string Line(Elapsed now) const;

private:
    std::size_t m_units;
    std::uintmax_t m_fileSize;
    std::size_t m_done = 0;
    std::uintmax_t m_storedBytes = 0;
    Elapsed m_lastFinished{};
};

// "512 B", "1.5 KiB", "48.0 MiB", "2.0 GiB".
std::string ByteCount(double bytes);

// Draws a line on a terminal in place, over the one drawn before, so that lines written to the
// terminal in between stay above it.
class TerminalLine {
public:
    explicit TerminalLine(std::ostream& terminal) : m_terminal(terminal) {}

    void Draw(const std::string& text);
    // Leaves the terminal's line empty, the cursor at its start.
    void Clear();

private:
    std::ostream& m_terminal;
    bool m_drawn = false;
};

}  // namespace quorrel::cli
