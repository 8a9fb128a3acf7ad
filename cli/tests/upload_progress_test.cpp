#include "upload_progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorrel::cli {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Four units and a file of 1 MiB: the rate and time left once units have ended.
TEST(UploadProgress, EstimatesTheRateFromStoredUnitsAndCountsTheTimeLeftDown) {
    struct Finish {
        bool stored;
        milliseconds at;
    };
    struct Case {
        const char* name;
        std::vector<Finish> finished;
        milliseconds now;
        const char* line;
    } cases[] = {
        {"nothing yet", {}, milliseconds(3000), "Uploading: 0 of 4 units done, 0 B stored"},
        {"one stored", {{true, milliseconds(2000)}}, milliseconds(2000),
         "Uploading: 1 of 4 units done, 1.0 MiB stored, 512.0 KiB/s, 0:06 left"},
        {"counting down", {{true, milliseconds(2000)}}, milliseconds(4500),
         "Uploading: 1 of 4 units done, 1.0 MiB stored, 512.0 KiB/s, 0:04 left"},
        {"overdue", {{true, milliseconds(2000)}}, milliseconds(60000),
         "Uploading: 1 of 4 units done, 1.0 MiB stored, 512.0 KiB/s, 0:00 left"},
        {"a failure adds no bytes", {{false, milliseconds(1000)}, {true, milliseconds(2000)}}, milliseconds(2000),
         "Uploading: 2 of 4 units done, 1.0 MiB stored, 512.0 KiB/s, 0:04 left"},
        {"only failures", {{false, milliseconds(1000)}}, milliseconds(2000), "Uploading: 1 of 4 units done, 0 B stored"},
        {"all done", {{true, seconds(1)}, {true, seconds(1)}, {true, seconds(2)}, {true, seconds(2)}}, seconds(2),
         "Uploading: 4 of 4 units done, 4.0 MiB stored"},
    };
    for (const Case& c : cases) {
        UploadProgress progress(4, 1 << 20);
        for (const Finish& finish : c.finished) progress.Finished(finish.stored, finish.at);
        EXPECT_EQ(progress.Line(c.now), c.line) << c.name;
    }
}

TEST(UploadProgress, CountsBytesInBinaryUnits) {
    const std::pair<double, const char*> cases[] = {
        {0, "0 B"}, {1023, "1023 B"}, {1024, "1.0 KiB"}, {1536, "1.5 KiB"}, {40.0 * (1 << 20), "40.0 MiB"},
        {3.0 * (1 << 30), "3.0 GiB"}};
    for (const auto& [bytes, text] : cases) EXPECT_EQ(ByteCount(bytes), text) << text;
}

}  // namespace
}  // namespace quorrel::cli
