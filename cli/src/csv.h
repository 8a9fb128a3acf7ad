// Comma-separated values as RFC 4180 writes them: fields separated by commas, records by line
// breaks, a field in double quotes when it holds a comma, a quote or a line break, a quote inside
// such a field written twice.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorrel::cli {

// A problem with a text's line (counted from 1).
struct LineError {
    int line = 0;
    std::string text;

    bool operator==(const LineError&) const = default;
};

struct CsvRecord {
    // The line the record starts on; a quoted line break makes a record span several.
    int line = 0;
    std::vector<std::string> fields;
};

struct CsvReading {
    std::vector<CsvRecord> records;
    std::optional<LineError> error;
};

// Reads every record. Line breaks may be CRLF or LF; blank lines are skipped, and so is a UTF-8
// byte order mark at the start. Fields are kept as written (blanks included). A quote left open,
// text after a closing quote and a quote inside an unquoted field are errors.
CsvReading ReadCsv(std::string_view text);

// The field as a record holds it: quoted when it must be.
std::string CsvField(std::string_view text);

// The line break between records.
inline constexpr const char* kCsvLineBreak = "\r\n";

}  // namespace quorrel::cli
