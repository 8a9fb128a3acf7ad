#include "ipv4_address_edit.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "tool_test_support.h"

namespace parbex {
namespace {

class Ipv4AddressEditTest : public ::testing::Test {
protected:
    Ipv4AddressEditTest() { testing::ShowActive(edit); }

    // Types from a box on, as a user who first selects its content.
    void TypeInto(int box, const char* keys) {
        edit.Box(box)->setFocus();
        edit.Box(box)->selectAll();
        testing::TypeKeys(edit, keys);
    }

    Ipv4AddressEdit edit;
};

struct ValueRow {
    const char* name;
    std::uint32_t value;
    const char* boxes[4];
};

class Ipv4AddressValueTest : public ::testing::TestWithParam<ValueRow> {};

TEST_P(Ipv4AddressValueTest, ShowsTheFirstBoxAsTheMostSignificantByteAndReadsItBack) {
    Ipv4AddressEdit edit;
    edit.SetValue(GetParam().value);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(edit.Box(i)->text().toStdString(), GetParam().boxes[i]) << "box " << i;
    }
    EXPECT_EQ(edit.Value(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Rows, Ipv4AddressValueTest,
                         ::testing::Values(ValueRow{"zero", 0, {"0", "0", "0", "0"}},
                                           ValueRow{"all_ones", 0xFFFFFFFF, {"255", "255", "255", "255"}},
                                           ValueRow{"private_host", 0xC0A8000A, {"192", "168", "0", "10"}},
                                           ValueRow{"mask", 0xFFFF0000, {"255", "255", "0", "0"}}),
                         [](const auto& info) { return info.param.name; });

TEST_F(Ipv4AddressEditTest, TypingADotMovesToTheNextBox) {
    TypeInto(0, "192.168.1.10");
    EXPECT_EQ(edit.Value(), 0xC0A8010Au);
    EXPECT_TRUE(edit.Box(3)->hasFocus());
}

TEST_F(Ipv4AddressEditTest, ADotInTheLastBoxIsIgnored) {
    TypeInto(0, "1.2.3.4.");
    EXPECT_EQ(edit.Value(), 0x01020304u);
    EXPECT_TRUE(edit.Box(3)->hasFocus());
}

TEST_F(Ipv4AddressEditTest, ABlankBoxReadsAsZero) {
    edit.SetValue(0x0A4D0001);
    edit.Box(3)->clear();
    EXPECT_EQ(edit.Value(), 0x0A4D0000u);
    edit.Box(0)->clear();
    EXPECT_EQ(edit.Value(), 0x004D0000u);
}

struct TypingRow {
    const char* name;
    const char* keys;
    const char* shown;
};

class Ipv4BoxTypingTest : public ::testing::TestWithParam<TypingRow> {};

TEST_P(Ipv4BoxTypingTest, AcceptsOnlyNumbersUpTo255) {
    Ipv4AddressEdit edit;
    edit.show();
    edit.Box(1)->setFocus();
    QTest::keyClicks(edit.Box(1), QString::fromLatin1(GetParam().keys));
    EXPECT_EQ(edit.Box(1)->text().toStdString(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Rows, Ipv4BoxTypingTest,
                         ::testing::Values(TypingRow{"largest", "255", "255"}, TypingRow{"one_above", "256", "25"},
                                           TypingRow{"four_digits", "1234", "123"},
                                           TypingRow{"letters", "a1b", "1"}, TypingRow{"minus", "-5", "5"}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace parbex
