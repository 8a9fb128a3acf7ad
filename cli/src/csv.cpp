#include "csv.h"

namespace quorrel::cli {

CsvReading ReadCsv(std::string_view text) {
    CsvReading reading;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    int line = 1;
    std::size_t at = 0;
    auto fail = [&](int where, std::string why) {
        reading.error = LineError{where, std::move(why)};
        return reading;
    };
    auto atLineBreak = [&] { return at < text.size() && (text[at] == '\n' || text[at] == '\r'); };
    auto skipLineBreak = [&] {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
        ++at;
        ++line;
    };

    while (at < text.size()) {
        if (atLineBreak()) {  // a blank line
            skipLineBreak();
            continue;
        }
        CsvRecord record{line, {}};
        for (;;) {
            std::string field;
            if (at < text.size() && text[at] == '"') {
                const int opened = line;
                ++at;
                for (;;) {
                    if (at >= text.size()) return fail(opened, "a quoted field is never closed");
                    if (text[at] == '"') {
                        if (at + 1 < text.size() && text[at + 1] == '"') {
                            field += '"';
                            at += 2;
                            continue;
                        }
                        ++at;
                        break;
                    }
                    if (text[at] == '\n') ++line;
                    field += text[at++];
                }
                if (at < text.size() && text[at] != ',' && !atLineBreak())
                    return fail(line, "text after the closing quote of a field");
            } else {
                while (at < text.size() && text[at] != ',' && !atLineBreak()) {
                    if (text[at] == '"') return fail(line, "a quote inside a field that does not start with one");
                    field += text[at++];
                }
            }
            record.fields.push_back(std::move(field));
            if (at < text.size() && text[at] == ',') {
                ++at;
                continue;
            }
            break;
        }
        reading.records.push_back(std::move(record));
        if (at < text.size()) skipLineBreak();
    }
    return reading;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

}  // namespace quorrel::cli
