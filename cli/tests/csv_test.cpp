#include "csv.h"

#include <gtest/gtest.h>

namespace quorrel::cli {
namespace {

struct Record {
    int line;
    std::vector<std::string> fields;
    bool operator==(const Record&) const = default;
};

std::vector<Record> Records(const CsvReading& reading) {
    std::vector<Record> records;
    for (const CsvRecord& record : reading.records) records.push_back({record.line, record.fields});
    return records;
}

void PrintTo(const Record& record, std::ostream* out) {
    *out << record.line << ":";
    for (const std::string& field : record.fields) *out << " [" << field << "]";
}

TEST(ReadCsv, ReadsRecordsWithTheLineEachStartsOn) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<Record> expected;
    } cases[] = {
        {"CRLF and LF", "a,b\r\nc,d\n", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
        {"no line break at the end", "a,b", {{1, {"a", "b"}}}},
        {"empty fields", ",x,\n", {{1, {"", "x", ""}}}},
        {"blank lines skipped", "\na\n\r\n\nb\n", {{2, {"a"}}, {5, {"b"}}}},
        {"byte order mark", "\xEF\xBB\xBFserial\n", {{1, {"serial"}}}},
        {"blanks kept", " a , b\n", {{1, {" a ", " b"}}}},
        {"quoted comma and doubled quote", "\"a,b\",\"say \"\"hi\"\"\"\n", {{1, {"a,b", "say \"hi\""}}}},
        {"quoted line break: the next record's line counts it", "\"two\nlines\",x\ny\n",
         {{1, {"two\nlines", "x"}}, {3, {"y"}}}},
        {"empty quoted field", "\"\",a\n", {{1, {"", "a"}}}},
    };
    for (const Case& c : cases) {
        const CsvReading reading = ReadCsv(c.text);
        EXPECT_FALSE(reading.error.has_value()) << c.name << ": " << reading.error->text;
        EXPECT_EQ(Records(reading), c.expected) << c.name;
    }
}

TEST(ReadCsv, RefusesMalformedQuotesNamingTheLine) {
    struct Case {
        const char* name;
        const char* text;
        LineError expected;
    } cases[] = {
        {"quote left open", "a\n\"b,c\nd\n", {2, "a quoted field is never closed"}},
        {"text after the closing quote", "a\n\"b\"c\n", {2, "text after the closing quote of a field"}},
        {"quote inside a plain field", "a\nb\"c\n", {2, "a quote inside a field that does not start with one"}},
    };
    for (const Case& c : cases) {
        const CsvReading reading = ReadCsv(c.text);
        ASSERT_TRUE(reading.error.has_value()) << c.name;
        EXPECT_EQ(*reading.error, c.expected) << c.name;
    }
}

TEST(CsvField, QuotesOnlyWhatMustBeAndReadsBackAsWritten) {
    for (const std::string text : {"QX-100", "", "a,b", "say \"hi\"", "two\r\nlines", "lone\rreturn", " blank "}) {
        const std::string field = CsvField(text);
        EXPECT_EQ(field.starts_with('"'), text.find_first_of(",\"\r\n") != std::string::npos) << text;
        const CsvReading reading = ReadCsv(field + ",end\r\n");
        ASSERT_EQ(reading.records.size(), 1u) << text;
        EXPECT_EQ(reading.records[0].fields, (std::vector<std::string>{text, "end"})) << text;
    }
}

}  // namespace
}  // namespace quorrel::cli
