#include "addressing_input.h"

#include <gtest/gtest.h>

#include "serial_text.h"

namespace quorrel::cli {
namespace {

TEST(ParseSerial, TakesOneToFiveHexadecimalDigitsOnly) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> expected;
    } cases[] = {
        {"1A2B3", 0x1A2B3}, {"1a2b3", 0x1A2B3}, {"0", 0},         {"FFFFF", 0xFFFFF}, {"0001F", 0x1F},
        {"", std::nullopt}, {"100000", std::nullopt}, {"000001", std::nullopt}, {"1A2G3", std::nullopt},
        {" 1A2B3", std::nullopt}, {"1A2B3 ", std::nullopt}, {"0x1F", std::nullopt}, {"-1", std::nullopt},
        {"+1", std::nullopt}, {"1A2Bh", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseSerial(c.text), c.expected) << "'" << c.text << "'";
}

TEST(ReadStaticAddressing, TakesTheMaskAsPrefixOrMaskAndTheGatewayIfGiven) {
    struct Case {
        const char* name;
        const char* address;
        std::optional<std::string> mask;
        std::optional<std::string> gateway;
        std::uint32_t expectedMask;
        std::uint32_t expectedGateway;
    } cases[] = {
        {"prefix 16", "10.77.0.20/16", std::nullopt, "10.77.0.1", 0xFFFF0000u, 0x0A4D0001u},
        {"prefix 32", "10.77.0.20/32", std::nullopt, std::nullopt, 0xFFFFFFFFu, 0},
        {"prefix 0", "10.77.0.20/0", std::nullopt, std::nullopt, 0, 0},
        {"mask", "10.77.0.20", "255.255.255.0", std::nullopt, 0xFFFFFF00u, 0},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<Addressing> addressing = ReadStaticAddressing(c.address, c.mask, c.gateway, error);
        EXPECT_EQ(addressing, Addressing::Static(0x0A4D0014u, c.expectedMask, c.expectedGateway)) << c.name << ": " << error;
    }
}

TEST(ReadStaticAddressing, RefusesWhatIsNotAnAddressingWithOneLine) {
    struct Case {
        const char* name;
        const char* address;
        std::optional<std::string> mask;
        std::optional<std::string> gateway;
        const char* expected;
    } cases[] = {
        {"prefix 33", "10.77.0.20/33", std::nullopt, std::nullopt,
         "bad prefix '33' in '10.77.0.20/33': expected 0 to 32"},
        {"empty prefix", "10.77.0.20/", std::nullopt, std::nullopt, "bad prefix '' in '10.77.0.20/': expected 0 to 32"},
        {"prefix with a sign", "10.77.0.20/+8", std::nullopt, std::nullopt,
         "bad prefix '+8' in '10.77.0.20/+8': expected 0 to 32"},
        {"prefix of three digits", "10.77.0.20/016", std::nullopt, std::nullopt,
         "bad prefix '016' in '10.77.0.20/016': expected 0 to 32"},
        {"prefix and mask", "10.77.0.20/24", "255.255.255.0", std::nullopt,
         "give the mask once: as ADDRESS/PREFIX or with --mask"},
        {"no mask", "10.77.0.20", std::nullopt, std::nullopt,
         "a static address needs a mask: ADDRESS/PREFIX or --mask MASK"},
        {"mask not ones then zeros", "10.77.0.20", "255.255.255.1", std::nullopt,
         "bad mask '255.255.255.1': expected ones then zeros, such as 255.255.255.0"},
        {"bad gateway", "10.77.0.20/16", std::nullopt, "10.77.0",
         "bad gateway '10.77.0': expected four numbers from 0 to 255 separated by dots"},
        {"bad address", "10.77.0.2O/16", std::nullopt, std::nullopt,
         "bad address '10.77.0.2O': expected four numbers from 0 to 255 separated by dots"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ReadStaticAddressing(c.address, c.mask, c.gateway, error).has_value()) << c.name;
        EXPECT_EQ(error, c.expected) << c.name;
    }
}

}  // namespace
}  // namespace quorrel::cli
