#include "ipv4_address_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "tool_test_support.h"

namespace parbex {
namespace {

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

TEST(Ipv4AddressEdit, ABlankBoxReadsAsZero) {
    Ipv4AddressEdit edit;
    edit.SetValue(0x0A4D0001);
    edit.Box(3)->clear();
    EXPECT_EQ(edit.Value(), 0x0A4D0000u);
    edit.Box(0)->clear();
    EXPECT_EQ(edit.Value(), 0x004D0000u);
}

// One row: the boxes' texts before ("a.b.c.d", blank parts allowed), where the cursor starts
// (box 0 to 3, or -1 for the widget before the field), the keys (see TypeKeys), the clipboard,
// then the boxes' texts after and who has the focus.
struct KeyRow {
    const char* name;
    const char* before;
    int box;
    enum Place { AllSelected, AtStart, AtEnd } place;
    const char* keys;
    const char* clipboard;
    const char* after;
    const char* focus;  // "0" to "3", "before" or "after"
};

class Ipv4AddressKeysTest : public ::testing::TestWithParam<KeyRow> {
protected:
    // The field between two other widgets of a window, as in a dialog.
    Ipv4AddressKeysTest() {
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(beforeField);
        layout->addWidget(field);
        layout->addWidget(afterField);
        testing::ShowActive(window);
    }

    void SetBoxes(const char* text) {
        const QStringList parts = QString::fromLatin1(text).split(QLatin1Char('.'));
        for (int i = 0; i < 4; ++i) field->Box(i)->setText(parts.value(i));
    }

    std::string Boxes() const {
        QStringList parts;
        for (int i = 0; i < 4; ++i) parts << field->Box(i)->text();
        return parts.join(QLatin1Char('.')).toStdString();
    }

    std::string FocusName() const {
        const QWidget* focus = QApplication::focusWidget();
        if (focus == beforeField) return "before";
        if (focus == afterField) return "after";
        for (int i = 0; i < 4; ++i) {
            if (focus == field->Box(i)) return std::to_string(i);
        }
        return "elsewhere";
    }

    QWidget window;
    QLineEdit* beforeField = new QLineEdit;
    Ipv4AddressEdit* field = new Ipv4AddressEdit;
    QLineEdit* afterField = new QLineEdit;
};

TEST_P(Ipv4AddressKeysTest, TakesAnAddressAsPeopleTypeIt) {
    const KeyRow& row = GetParam();
    SetBoxes(row.before);
    QApplication::clipboard()->setText(QString::fromLatin1(row.clipboard));
    QLineEdit* start = row.box < 0 ? beforeField : field->Box(row.box);
    start->setFocus(Qt::MouseFocusReason);
    switch (row.place) {
    case KeyRow::AllSelected:
        start->selectAll();
        break;
    case KeyRow::AtStart:
        start->setCursorPosition(0);
        break;
    case KeyRow::AtEnd:
        start->setCursorPosition(static_cast<int>(start->text().size()));
        break;
    }
    testing::TypeKeys(window, row.keys);
    EXPECT_EQ(Boxes(), row.after);
    EXPECT_EQ(FocusName(), row.focus);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Ipv4AddressKeysTest,
    ::testing::Values(
        KeyRow{"dots_move_on", "...", 0, KeyRow::AllSelected, "10.1.2.3", "", "10.1.2.3", "3"},
        KeyRow{"trailing_dot_stays_in_the_last_box", "...", 0, KeyRow::AllSelected, "1.2.3.4.", "", "1.2.3.4", "3"},
        KeyRow{"third_digit_moves_on", "...", 0, KeyRow::AllSelected, "192168100", "", "192.168.100.", "3"},
        KeyRow{"dot_after_a_third_digit_moves_once", "10.77.0.11", 0, KeyRow::AllSelected, "192.168.1.1", "",
               "192.168.1.1", "3"},
        KeyRow{"third_digit_over_a_filled_field", "10.77.0.11", 2, KeyRow::AllSelected, "200.5", "",
               "10.77.200.5", "3"},
        KeyRow{"dot_in_an_empty_box_stays", "...", 0, KeyRow::AllSelected, ".", "", "...", "0"},
        KeyRow{"above_255_refused", "...", 1, KeyRow::AllSelected, "256", "", ".25..", "1"},
        KeyRow{"letters_and_signs_refused", "...", 1, KeyRow::AllSelected, "a-1 b", "", ".1..", "1"},
        KeyRow{"right_at_the_end_moves_across", "10.1.2.3", 0, KeyRow::AtEnd, "{Right}9", "", "10.91.2.3", "1"},
        KeyRow{"right_inside_a_box_stays", "10.1.2.3", 0, KeyRow::AtStart, "{Right}9", "", "190.1.2.3", "0"},
        KeyRow{"left_at_the_start_moves_back", "1.2.3.4", 1, KeyRow::AtStart, "{Left}5", "", "15.2.3.4", "0"},
        KeyRow{"backspace_across_a_dot", "10.1.2.3", 1, KeyRow::AtEnd, "{Backspace}{Backspace}{Backspace}", "",
               "1..2.3", "0"},
        KeyRow{"paste_fills_all_four", "...", 2, KeyRow::AllSelected, "{Paste}", "10.77.0.9", "10.77.0.9", "3"},
        KeyRow{"paste_with_blanks_around", "1.2.3.4", 1, KeyRow::AtEnd, "{Paste}", " 10.77.0.9\n", "10.77.0.9",
               "3"},
        KeyRow{"paste_of_a_number", "1.2.3.4", 1, KeyRow::AllSelected, "{Paste}", "42", "1.42.3.4", "1"},
        KeyRow{"paste_of_a_part_address_refused", "1.2.3.4", 1, KeyRow::AllSelected, "{Paste}", "10.77.0",
               "1.2.3.4", "1"},
        KeyRow{"one_tab_stop", "1.2.3.4", -1, KeyRow::AtEnd, "{Tab}{Tab}", "", "1.2.3.4", "after"},
        KeyRow{"tab_leaves_from_any_box", "1.2.3.4", 2, KeyRow::AtEnd, "{Tab}", "", "1.2.3.4", "after"},
        KeyRow{"shift_tab_leaves_from_any_box", "1.2.3.4", 2, KeyRow::AtEnd, "{Backtab}", "", "1.2.3.4", "before"}),
    [](const auto& info) { return info.param.name; });

// The context menu's Paste and the middle button insert the text without a key: the field spreads
// a whole address all the same.
TEST(Ipv4AddressEdit, AnAddressPastedWithoutTheKeysFillsTheField) {
    Ipv4AddressEdit edit;
    testing::ShowActive(edit);
    QApplication::clipboard()->setText(QStringLiteral("192.168.7.20"));
    edit.Box(1)->setFocus();
    edit.Box(1)->paste();
    EXPECT_EQ(edit.Value(), 0xC0A80714u);
    EXPECT_TRUE(edit.Box(3)->hasFocus());
}

}  // namespace
}  // namespace parbex
