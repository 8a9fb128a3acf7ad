// Any bytes read as CSV and as an apply file, without reading past them; and what the CSV reader
// accepts, written back field by field, reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "apply_rows.h"
#include "csv.h"

using quorrel::cli::CsvField;
using quorrel::cli::CsvReading;
using quorrel::cli::CsvRecord;

namespace {

// Each record as CSV; a record of one empty field would be a blank line, which the reader skips,
// so it is left out. The byte order mark comes first, so that a first field starting with one
// keeps it when read back.
std::string Written(const CsvReading& reading, std::size_t& records) {
    std::string text = "\xEF\xBB\xBF";
    records = 0;
    for (const CsvRecord& record : reading.records) {
        if (record.fields.size() == 1 && record.fields[0].empty()) continue;
        for (std::size_t at = 0; at < record.fields.size(); ++at) text += (at == 0 ? "" : ",") + CsvField(record.fields[at]);
        text += quorrel::cli::kCsvLineBreak;
        ++records;
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A copy of exactly the input's length, so that AddressSanitizer sees any read past it.
    auto bytes = std::make_unique<char[]>(size == 0 ? 1 : size);
    std::memcpy(bytes.get(), data, size);
    const std::string_view text(bytes.get(), size);

    quorrel::cli::ReadApplyRows(text);
    const CsvReading reading = quorrel::cli::ReadCsv(text);
    if (reading.error) return 0;

    std::size_t records = 0;
    const std::string written = Written(reading, records);
    const CsvReading again = quorrel::cli::ReadCsv(written);
    if (again.error || again.records.size() != records) std::abort();
    std::size_t at = 0;
    for (const CsvRecord& record : reading.records) {
        if (record.fields.size() == 1 && record.fields[0].empty()) continue;
        if (again.records[at++].fields != record.fields) std::abort();
    }
    return 0;
}
