// The lab's --ftp-rate: each unit's FTP server takes no more than LAB_FTP_RATE bytes a second, as a
// unit's small processor does, and each unit has that rate of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "ftp_lab.h"

namespace ftp_lab {
namespace {

constexpr uint32_t kSecondUnitAddress = 0x0A4D000B;

TEST(UnitRateTest, EachUnitTakesItsRateAndNoMore) {
    const char* rate = std::getenv("LAB_FTP_RATE");
    ASSERT_NE(rate, nullptr) << "run this test inside scripts/lab --ftp-rate RATE";
    // The throttle reads a second's worth at full speed and sleeps for the rest of that second and
    // the next: three seconds' worth of bytes take two seconds, and would take six were the rate
    // shared by the two units.
    const std::string bytes = RandomBytes(3 * std::strtoul(rate, nullptr, 10));
    const std::string path = MakeLocalFolder() + "/rated.bin";
    WriteFile(path, bytes);

    const auto start = std::chrono::steady_clock::now();
    UploadOutcome second{};
    std::thread secondUnit([&] { second = Upload(kSecondUnitAddress, path.c_str(), "RATED.BIN"); });
    const UploadOutcome first = Upload(kUnitAddress, path.c_str(), "RATED.BIN");
    secondUnit.join();
    const std::chrono::duration<double> both = std::chrono::steady_clock::now() - start;

    ASSERT_TRUE(first.stored) << first.text;
    ASSERT_TRUE(second.stored) << second.text;
    EXPECT_TRUE(HoldsExactly(UnitHome() + "/RATED.BIN", bytes));
    EXPECT_TRUE(HoldsExactly(LabDir() + "/ftp/10.77.0.11/RATED.BIN", bytes));
    EXPECT_GT(first.seconds, 1.5);
    EXPECT_GT(second.seconds, 1.5);
    EXPECT_LT(both.count(), 4.0);
}

}  // namespace
}  // namespace ftp_lab
