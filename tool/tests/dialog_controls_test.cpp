// What the user reads and reaches with the keyboard in the three dialogs, read from the widgets
// themselves: every control's text, the mnemonics, the tab order, the window frame, and that no
// text is cut or touches the dialog's edge at the default font and at 150% text scale.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOptionFrame>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

#include "about_dlg.h"
#include "device_config_dlg.h"
#include "dialog_units.h"
#include "ipv4_address_edit.h"
#include "library_binding.h"
#include "library_call_runner.h"
#include "parbex_dlg.h"
#include "tool_test_support.h"

namespace parbex {
namespace {

using testing::MakeRecord;

enum class Dialog { MainWindow, DeviceConfiguration, About };

const char* NameOf(Dialog dialog) {
    constexpr const char* kNames[] = {"main_window", "device_configuration", "about"};
    return kNames[static_cast<int>(dialog)];
}

class DialogControlsTest : public ::testing::Test {
protected:
    DialogControlsTest() : fake(FAKE_VARL_FULL), binding(FAKE_VARL_FULL) {}

    // The dialog as the user meets it: the main window after a discovery of two units with a
    // detail item selected, so that every command is enabled; Device Configuration on a unit
    // with static addressing.
    std::unique_ptr<QDialog> Make(Dialog dialog) {
        switch (dialog) {
        case Dialog::MainWindow: {
            const std::vector<DeviceRecord> units{MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100"),
                                                  MakeRecord(0x1B3C4, 0, 0x0A4D000B, 0xFFFF0000, 0x0A4D0001, "QX-200")};
            fake.State().discoverAnswers.push_back({1, 2, units});
            auto window = std::make_unique<CParbexDlg>(binding);
            window->OnDiscover();
            auto* tree = testing::Find<QTreeWidget>(*window, "deviceTree");
            tree->setCurrentItem(tree->topLevelItem(0)->child(0)->child(1));
            return window;
        }
        case Dialog::DeviceConfiguration: {
            auto config = std::make_unique<CDeviceConfigDlg>(
                MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100"), binding, calls);
            config->DoModal();  // the scripted runner only initialises it
            return config;
        }
        case Dialog::About:
            break;
        }
        return std::make_unique<CAboutDlg>();
    }

    testing::MessageRecorder boxes;
    testing::ScriptedDialogs dialogs;
    testing::FakeLibrary fake;
    quorrel::LibraryBinding binding;
    LibraryCallRunner calls;
};

// The texts of a dialog's labels and buttons, in the order they were made (the template's).
QStringList ControlTexts(const QWidget& dialog) {
    QStringList texts;
    for (const QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (const auto* label = qobject_cast<const QLabel*>(child)) texts << label->text();
        if (const auto* button = qobject_cast<const QAbstractButton*>(child)) texts << button->text();
    }
    return texts;
}

// The control that holds the focus: an address field for any of its boxes.
std::string FocusedControl(const QWidget& dialog) {
    const QWidget* focus = dialog.focusWidget();
    if (focus == nullptr) return "nothing";
    if (const auto* field = qobject_cast<const Ipv4AddressEdit*>(focus->parentWidget())) {
        return field->objectName().toStdString();
    }
    return focus->objectName().isEmpty() ? focus->metaObject()->className() : focus->objectName().toStdString();
}

struct TextsRow {
    Dialog dialog;
    const char* title;
    QStringList texts;
};

class DialogTextsTest : public DialogControlsTest, public ::testing::WithParamInterface<TextsRow> {};

TEST_P(DialogTextsTest, ShowsEveryTextLetterForLetter) {
    const std::unique_ptr<QDialog> dialog = Make(GetParam().dialog);
    EXPECT_EQ(dialog->windowTitle().toStdString(), GetParam().title);
    EXPECT_EQ(ControlTexts(*dialog), GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogTextsTest,
    ::testing::Values(TextsRow{Dialog::MainWindow,
                               "Quorrel Config Tool",
                               {"&Close", "&Discover", "Con&figure...", "Devices on the network:", "&Upload File..."}},
                      TextsRow{Dialog::DeviceConfiguration,
                               "Device Configuration",
                               {"&Save", "Cancel", "Chip name:", "Serial Number:", "DHCP:", "IP Address:", "Net mask:",
                                "Gateway:", "Off", "On", "(hex)"}},
                      TextsRow{Dialog::About,
                               "About Parbex",
                               {"Tamberlode", "Parbex (ver 1.0)", "Copyright (C) 2026 Tamberlode", "OK"}}),
    [](const auto& info) { return NameOf(info.param.dialog); });

// Alt with a button's underlined letter presses it.
struct MnemonicRow {
    const char* name;
    Dialog dialog;
    Qt::Key key;
    const char* pressed;
};

class DialogMnemonicTest : public DialogControlsTest, public ::testing::WithParamInterface<MnemonicRow> {
protected:
    // Notes which buttons are pressed instead of running their commands, which would open dialogs
    // and message boxes.
    void NotePresses(QDialog& dialog) {
        for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
            button->disconnect(SIGNAL(clicked(bool)));
            QObject::connect(button, &QAbstractButton::clicked,
                             [this, button] { pressed.push_back(button->objectName().toStdString()); });
        }
    }

    std::vector<std::string> pressed;
};

TEST_P(DialogMnemonicTest, AltWithTheUnderlinedLetterPressesItsButton) {
    const std::unique_ptr<QDialog> dialog = Make(GetParam().dialog);
    testing::ShowActive(*dialog);
    NotePresses(*dialog);
    QTest::keyClick(dialog.get(), GetParam().key, Qt::AltModifier);
    // A button pressed from the keyboard shows itself pressed for a moment before it acts.
    EXPECT_TRUE(QTest::qWaitFor([this] { return !pressed.empty(); }, 2000));
    EXPECT_EQ(pressed, std::vector<std::string>{GetParam().pressed});
}

INSTANTIATE_TEST_SUITE_P(Keys, DialogMnemonicTest,
                         ::testing::Values(MnemonicRow{"discover", Dialog::MainWindow, Qt::Key_D, "discoverButton"},
                                           MnemonicRow{"upload_file", Dialog::MainWindow, Qt::Key_U, "uploadButton"},
                                           MnemonicRow{"save", Dialog::DeviceConfiguration, Qt::Key_S, "saveButton"}),
                         [](const auto& info) { return info.param.name; });

// Tab from the first control visits every control once in the template's order and comes back;
// Shift+Tab walks the same way back. An address field is one stop.
struct TabOrderRow {
    Dialog dialog;
    std::vector<std::string> stops;
};

class DialogTabOrderTest : public DialogControlsTest, public ::testing::WithParamInterface<TabOrderRow> {};

TEST_P(DialogTabOrderTest, FollowsTheTemplateBothWays) {
    const std::unique_ptr<QDialog> dialog = Make(GetParam().dialog);
    testing::ShowActive(*dialog);
    const std::vector<std::string>& stops = GetParam().stops;
    testing::Find<QWidget>(*dialog, stops.front().c_str())->setFocus(Qt::TabFocusReason);

    // Where the focus stands now and after each of as many presses of key as there are stops.
    const auto walk = [&dialog, &stops](const char* key) {
        std::vector<std::string> visited{FocusedControl(*dialog)};
        for (std::size_t i = 0; i < stops.size(); ++i) {
            testing::TypeKeys(*dialog, key);
            visited.push_back(FocusedControl(*dialog));
        }
        return visited;
    };
    std::vector<std::string> expected = stops;
    expected.push_back(stops.front());
    EXPECT_EQ(walk("{Tab}"), expected);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(walk("{Backtab}"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogTabOrderTest,
    ::testing::Values(TabOrderRow{Dialog::MainWindow,
                                  {"closeButton", "deviceTree", "discoverButton", "configureButton", "uploadButton"}},
                      TabOrderRow{Dialog::DeviceConfiguration,
                                  {"saveButton", "cancelButton", "serialEdit", "chipNameEdit", "ipAddress", "ipNetMask",
                                   "ipGateway", "dhcpOff"}}),
    [](const auto& info) { return NameOf(info.param.dialog); });

TEST_F(DialogControlsTest, AddressFieldsAreNamedAfterTheirLabelsForAssistiveTechnology) {
    const std::unique_ptr<QDialog> dialog = Make(Dialog::DeviceConfiguration);
    const std::pair<const char*, const char*> fields[] = {
        {"ipAddress", "IP Address"}, {"ipNetMask", "Net mask"}, {"ipGateway", "Gateway"}};
    for (const auto& [name, label] : fields) {
        auto* field = testing::Find<Ipv4AddressEdit>(*dialog, name);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name).toStdString(), label);
        for (int i = 0; i < 4; ++i) {
            QAccessibleInterface* box = QAccessible::queryAccessibleInterface(field->Box(i));
            EXPECT_EQ(box->text(QAccessible::Name).toStdString(), label);
            EXPECT_EQ(box->text(QAccessible::Description), QStringLiteral("%1, part %2 of 4").arg(label).arg(i + 1));
        }
    }
    // The read-only fields take their names from their labels.
    QLineEdit* serial = testing::Find<QLineEdit>(*dialog, "serialEdit");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(serial)->text(QAccessible::Name), "Serial Number:");
}

struct FrameRow {
    Dialog dialog;
    bool resizable;
};

class DialogFrameTest : public DialogControlsTest, public ::testing::WithParamInterface<FrameRow> {};

TEST_P(DialogFrameTest, OnlyTheMainWindowCanBeMinimisedMaximisedOrResized) {
    const std::unique_ptr<QDialog> dialog = Make(GetParam().dialog);
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_EQ(flags.testFlag(Qt::WindowMinimizeButtonHint), GetParam().resizable);
    EXPECT_EQ(flags.testFlag(Qt::WindowMaximizeButtonHint), GetParam().resizable);
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(dialog->minimumSize() != dialog->maximumSize(), GetParam().resizable);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogFrameTest,
                         ::testing::Values(FrameRow{Dialog::MainWindow, true},
                                           FrameRow{Dialog::DeviceConfiguration, false},
                                           FrameRow{Dialog::About, false}),
                         [](const auto& info) { return NameOf(info.param.dialog); });

struct FitRow {
    Dialog dialog;
    double textScale;
};

class DialogFitTest : public DialogControlsTest, public ::testing::WithParamInterface<FitRow> {
protected:
    void SetUp() override {
        QFont scaled = m_previousFont;
        scaled.setPointSizeF(m_previousFont.pointSizeF() * GetParam().textScale);
        QApplication::setFont(scaled);
    }
    void TearDown() override { QApplication::setFont(m_previousFont); }

private:
    QFont m_previousFont = QApplication::font();
};

// Each label and button is as wide as its text needs, and keeps the template's narrowest margin,
// four dialog units, from the dialog's edges.
TEST_P(DialogFitTest, NoTextIsCutOrTouchesTheEdge) {
    const std::unique_ptr<QDialog> dialog = Make(GetParam().dialog);
    const int margin = DialogUnits(dialog->font()).X(4);
    for (const QWidget* child : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<const QLabel*>(child) == nullptr && qobject_cast<const QAbstractButton*>(child) == nullptr) {
            continue;
        }
        const QRect place = child->geometry();
        const std::string text = child->property("text").toString().toStdString();
        EXPECT_GE(place.width(), child->sizeHint().width()) << text << " is cut";
        EXPECT_GE(place.left(), margin) << text << " touches the left edge";
        EXPECT_LE(place.right(), dialog->width() - 1 - margin) << text << " touches the right edge";
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, DialogFitTest,
                         ::testing::Values(FitRow{Dialog::MainWindow, 1.0}, FitRow{Dialog::MainWindow, 1.5},
                                           FitRow{Dialog::DeviceConfiguration, 1.0},
                                           FitRow{Dialog::DeviceConfiguration, 1.5}, FitRow{Dialog::About, 1.0},
                                           FitRow{Dialog::About, 1.5}),
                         [](const auto& info) {
                             return std::string(NameOf(info.param.dialog)) +
                                    (info.param.textScale == 1.0 ? "_default_font" : "_text_at_150_percent");
                         });

// A style with Fusion's looks and the padding of the GNOME-like styles: six more pixels around the
// text of every field and button.
class PaddedStyle final : public QProxyStyle {
public:
    PaddedStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        const QSize base = QProxyStyle::sizeFromContents(type, option, size, widget);
        const bool padded = type == CT_LineEdit || type == CT_PushButton || type == CT_RadioButton;
        return padded ? base + QSize(2 * kPadding, 2 * kPadding) : base;
    }

    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override {
        const QRect base = QProxyStyle::subElementRect(element, option, widget);
        return element == SE_LineEditContents ? base.adjusted(kPadding, kPadding, -kPadding, -kPadding) : base;
    }

private:
    static constexpr int kPadding = 6;
};

// Where a line edit draws its text, as QLineEdit computes it: the style's contents rectangle less
// the text margins and the edit's own margins of two pixels across and one down.
QRect TextArea(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    option.state |= QStyle::State_Sunken;
    return edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit)
        .marginsRemoved(edit.textMargins())
        .adjusted(2, 1, -2, -1);
}

enum class Look { DarkPalette, EnlargedFont, Padded };

struct LookRow {
    const char* name;
    Look look;
};

class DialogLookTest : public DialogControlsTest, public ::testing::WithParamInterface<LookRow> {
protected:
    void SetUp() override {
        switch (GetParam().look) {
        case Look::DarkPalette:
            QApplication::setPalette(testing::DarkPalette());
            break;
        case Look::EnlargedFont: {
            QFont larger = m_previousFont;
            larger.setPointSizeF(m_previousFont.pointSizeF() * 2);
            QApplication::setFont(larger);
            break;
        }
        case Look::Padded:
            QApplication::setStyle(new PaddedStyle);
            break;
        }
    }
    void TearDown() override {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(m_previousPalette);
        QApplication::setFont(m_previousFont);
    }

private:
    QFont m_previousFont = QApplication::font();
    QPalette m_previousPalette = QApplication::palette();
};

TEST_P(DialogLookTest, TheSerialAndEveryAddressShowTheirWholeTextAndNoControlsMeet) {
    const std::unique_ptr<QDialog> dialog = Make(Dialog::DeviceConfiguration);
    testing::ShowActive(*dialog);
    std::vector<const QLineEdit*> fields{testing::Find<QLineEdit>(*dialog, "serialEdit")};
    for (const char* name : {"ipAddress", "ipNetMask", "ipGateway"}) {
        auto* address = testing::Find<Ipv4AddressEdit>(*dialog, name);
        for (int i = 0; i < 4; ++i) fields.push_back(address->Box(i));
    }
    for (const QLineEdit* field : fields) {
        const QRect area = TextArea(*field);
        const QFontMetrics metrics(field->font());
        const std::string name = field->parentWidget()->objectName().toStdString() + "/" + field->objectName().toStdString();
        EXPECT_GE(area.width(), metrics.horizontalAdvance(field->text())) << name << " cuts " << field->text().toStdString();
        EXPECT_GE(area.height(), metrics.height()) << name;
    }
    std::vector<const QWidget*> controls;
    for (const QWidget* child : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<const QAbstractButton*>(child) != nullptr) {
            EXPECT_EQ(child->size().expandedTo(child->sizeHint()), child->size()) << child->objectName().toStdString();
        }
        for (const QWidget* other : controls) {
            EXPECT_FALSE(child->geometry().intersects(other->geometry()))
                << child->objectName().toStdString() << " meets " << other->objectName().toStdString();
        }
        controls.push_back(child);
    }
}

INSTANTIATE_TEST_SUITE_P(Looks, DialogLookTest,
                         ::testing::Values(LookRow{"fusion_dark_palette", Look::DarkPalette},
                                           LookRow{"fusion_enlarged_font", Look::EnlargedFont},
                                           LookRow{"padded_style", Look::Padded}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace parbex
