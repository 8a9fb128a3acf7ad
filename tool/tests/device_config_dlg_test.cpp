#include "device_config_dlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "dialog_units.h"
#include "ipv4_address_edit.h"
#include "library_binding.h"
#include "library_call_runner.h"
#include "shown_texts.h"
#include "tool_test_support.h"

namespace parbex {
namespace {

using testing::Click;
using testing::Failure;
using testing::Find;
using testing::FakeLibrary;
using testing::Info;
using testing::MakeRecord;
using testing::MessageRecorder;
using testing::Plain;
using testing::RecordedMessage;
using testing::ScriptedDialogs;
using testing::TypeAddress;

const char* const kSentNotice = quorrel::texts::kConfigurationSent;

class DeviceConfigDlgTest : public ::testing::Test {
protected:
    DeviceConfigDlgTest() { UseLibrary(FAKE_VARL_FULL); }

    void UseLibrary(const char* path) {
        binding.reset();
        fake = std::make_unique<FakeLibrary>(path);
        binding = std::make_unique<quorrel::LibraryBinding>(path);
        ASSERT_TRUE(binding->LoadProtocolLibrary());
    }

    // Runs the dialog on record as the main window does, and takes back the record it hands
    // over; script plays the user.
    int Run(DeviceRecord& record, const std::function<void(QDialog&)>& script) {
        CDeviceConfigDlg dialog(record, *binding, calls);
        dialogs.script = script;
        const int result = dialog.DoModal();
        record = dialog.Record();
        return result;
    }

    static std::uint32_t AddressIn(QDialog& dialog, const char* field) {
        return Find<Ipv4AddressEdit>(dialog, field)->Value();
    }

    static bool AddressFieldsEnabled(QDialog& dialog) {
        const bool address = Find<Ipv4AddressEdit>(dialog, "ipAddress")->isEnabled();
        EXPECT_EQ(Find<Ipv4AddressEdit>(dialog, "ipNetMask")->isEnabled(), address);
        EXPECT_EQ(Find<Ipv4AddressEdit>(dialog, "ipGateway")->isEnabled(), address);
        return address;
    }

    std::vector<fake_varl::RecordedCall> SetConfigCalls() const { return fake->CallsOf("VARL_Admin_SetConfig"); }

    MessageRecorder boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<FakeLibrary> fake;
    std::unique_ptr<quorrel::LibraryBinding> binding;
    LibraryCallRunner calls;
};

TEST_F(DeviceConfigDlgTest, DhcpOnOpensWithOnAndDisabledFieldsAndSaveZeroesTheAddresses) {
    DeviceRecord record = MakeRecord(0x1B3C4, 1, 0x0A4D000B, 0xFFFF0000, 0x0A4D0001, "QX-200");
    const int result = Run(record, [](QDialog& dialog) {
        EXPECT_TRUE(Find<QRadioButton>(dialog, "dhcpOn")->isChecked());
        EXPECT_FALSE(Find<QRadioButton>(dialog, "dhcpOff")->isChecked());
        EXPECT_FALSE(AddressFieldsEnabled(dialog));
        EXPECT_EQ(AddressIn(dialog, "ipAddress"), 0x0A4D000Bu);
        EXPECT_EQ(AddressIn(dialog, "ipNetMask"), 0xFFFF0000u);
        EXPECT_EQ(AddressIn(dialog, "ipGateway"), 0x0A4D0001u);
        EXPECT_EQ(Find<QLineEdit>(dialog, "chipNameEdit")->text(), "QX-200");
        Click(dialog, "saveButton");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(record.dhcpMode, 1);
    EXPECT_EQ(record.address, 0u);
    EXPECT_EQ(record.netMask, 0u);
    EXPECT_EQ(record.gateway, 0u);
    ASSERT_EQ(SetConfigCalls().size(), 1u);
    EXPECT_EQ(SetConfigCalls()[0].record, record);
    EXPECT_EQ(boxes.messages, std::vector<RecordedMessage>{Info(kSentNotice)});
}

TEST_F(DeviceConfigDlgTest, DhcpOffOpensWithOffAndSendsWhatTheFieldsShow) {
    DeviceRecord record = MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");
    const int result = Run(record, [](QDialog& dialog) {
        EXPECT_TRUE(Find<QRadioButton>(dialog, "dhcpOff")->isChecked());
        EXPECT_FALSE(Find<QRadioButton>(dialog, "dhcpOn")->isChecked());
        EXPECT_TRUE(AddressFieldsEnabled(dialog));
        TypeAddress(dialog, "ipAddress", "192.168.7.20");
        TypeAddress(dialog, "ipNetMask", "255.255.255.0");
        Click(dialog, "saveButton");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(record.dhcpMode, 0);
    EXPECT_EQ(record.address, 0xC0A80714u);
    EXPECT_EQ(record.netMask, 0xFFFFFF00u);
    EXPECT_EQ(record.gateway, 0x0A4D0001u);
    ASSERT_EQ(SetConfigCalls().size(), 1u);
    EXPECT_EQ(SetConfigCalls()[0].record, record);
}

TEST_F(DeviceConfigDlgTest, OnThenOffDisablesAndEnablesTheFieldsKeepingTheirContent) {
    DeviceRecord record = MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");
    const DeviceRecord original = record;
    Run(record, [](QDialog& dialog) {
        Click(dialog, "dhcpOn");
        EXPECT_FALSE(AddressFieldsEnabled(dialog));
        EXPECT_FALSE(Find<QRadioButton>(dialog, "dhcpOff")->isChecked());
        Click(dialog, "dhcpOff");
        EXPECT_TRUE(AddressFieldsEnabled(dialog));
        EXPECT_EQ(AddressIn(dialog, "ipAddress"), 0x0A4D000Au);
        Click(dialog, "saveButton");
    });
    EXPECT_EQ(record, original);
}

TEST_F(DeviceConfigDlgTest, AnotherModeOpensWithNeitherChosenAndSaveStores255WithTheFieldsValues) {
    DeviceRecord record = MakeRecord(0x1D5E6, 2, 0x0A4D000C, 0xFFFF0000, 0x0A4D0001, "QX-100");
    Run(record, [](QDialog& dialog) {
        EXPECT_FALSE(Find<QRadioButton>(dialog, "dhcpOff")->isChecked());
        EXPECT_FALSE(Find<QRadioButton>(dialog, "dhcpOn")->isChecked());
        EXPECT_FALSE(AddressFieldsEnabled(dialog));
        Click(dialog, "saveButton");
    });
    EXPECT_EQ(record.dhcpMode, 255);
    EXPECT_EQ(record.address, 0x0A4D000Cu);
    EXPECT_EQ(record.netMask, 0xFFFF0000u);
    EXPECT_EQ(record.gateway, 0x0A4D0001u);
}

TEST_F(DeviceConfigDlgTest, ShowsTheSerialAsFiveHexDigits) {
    DeviceRecord record = MakeRecord(0x1F, 0, 0, 0, 0, "QX-100");
    Run(record, [](QDialog& dialog) {
        EXPECT_EQ(Find<QLineEdit>(dialog, "serialEdit")->text(), "0001F");
        EXPECT_TRUE(Find<QLineEdit>(dialog, "serialEdit")->isReadOnly());
        EXPECT_TRUE(Find<QLineEdit>(dialog, "chipNameEdit")->isReadOnly());
    });
}

TEST_F(DeviceConfigDlgTest, ABlankAddressBoxIsStoredAsZero) {
    DeviceRecord record = MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");
    Run(record, [](QDialog& dialog) {
        Ipv4AddressEdit* gateway = Find<Ipv4AddressEdit>(dialog, "ipGateway");
        gateway->Box(3)->setFocus();
        gateway->Box(3)->selectAll();
        QTest::keyClick(gateway->Box(3), Qt::Key_Backspace);
        EXPECT_EQ(gateway->Box(3)->text(), "");
        Click(dialog, "saveButton");
    });
    EXPECT_EQ(record.gateway, 0x0A4D0000u);
}

struct CancelRow {
    const char* name;
    std::function<void(QDialog&)> cancel;
};

class DeviceConfigDlgCancelTest : public DeviceConfigDlgTest, public ::testing::WithParamInterface<CancelRow> {};

TEST_P(DeviceConfigDlgCancelTest, LeavesTheRecordAsItWasAfterEdits) {
    DeviceRecord record = MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");
    const DeviceRecord original = record;
    const auto cancel = GetParam().cancel;
    const int result = Run(record, [&cancel](QDialog& dialog) {
        TypeAddress(dialog, "ipAddress", "1.2.3.4");
        Click(dialog, "dhcpOn");
        cancel(dialog);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(dialogs.leftOpen, 0);
    EXPECT_EQ(record, original);
    EXPECT_TRUE(SetConfigCalls().empty());
    EXPECT_TRUE(boxes.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DeviceConfigDlgCancelTest,
    ::testing::Values(CancelRow{"cancel_button",
                                [](QDialog& dialog) { Click(dialog, "cancelButton"); }},
                      CancelRow{"escape_key", [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }},
                      CancelRow{"title_bar_close", [](QDialog& dialog) { dialog.close(); }}),
    [](const auto& info) { return info.param.name; });

TEST_F(DeviceConfigDlgTest, EnterSaves) {
    DeviceRecord record = MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");
    const int result = Run(record, [](QDialog& dialog) {
        TypeAddress(dialog, "ipAddress", "10.77.0.99");
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(record.address, 0x0A4D0063u);
    EXPECT_EQ(SetConfigCalls().size(), 1u);
}

TEST_F(DeviceConfigDlgTest, PassesTheRecordsOwnSerialUnderTheWaitCursor) {
    DeviceRecord record = MakeRecord(0xABCDE, 1, 0, 0, 0, "QX-100");
    testing::WaitCursorAtCalls waitCursor(*fake);
    Run(record, [](QDialog& dialog) { Click(dialog, "saveButton"); });
    ASSERT_EQ(SetConfigCalls().size(), 1u);
    EXPECT_EQ(SetConfigCalls()[0].firstArgument, 0xABCDEu);
    EXPECT_EQ(SetConfigCalls()[0].record.serial, 0xABCDEu);
    EXPECT_EQ(waitCursor.seen, std::vector<bool>{true});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(DeviceConfigDlgTest, SaveWhenTheLibraryFailsShowsItsTextOnceAndStillEndsAcceptedWithTheChange) {
    fake->State().setConfigResult = 0;
    fake->State().errorText = "Communications error. Could not send (WSAENETDOWN)";
    DeviceRecord record = MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");
    const int result = Run(record, [](QDialog& dialog) {
        Click(dialog, "dhcpOn");
        Click(dialog, "saveButton");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(record.dhcpMode, 1);
    EXPECT_EQ(record.address, 0u);
    EXPECT_EQ(boxes.messages,
              std::vector<RecordedMessage>{Failure("Communications error. Could not send (WSAENETDOWN)")});
    EXPECT_EQ(quorrel::FailureFromLibrary(*binding).text, "") << "the text is fetched once";
}

TEST_F(DeviceConfigDlgTest, AMissingSetConfigExportIsADriverInterfaceErrorAfterTheRecordChanged) {
    UseLibrary(FAKE_VARL_NO_SET_CONFIG);
    DeviceRecord record = MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100");
    const int result = Run(record, [](QDialog& dialog) {
        Click(dialog, "dhcpOn");
        Click(dialog, "saveButton");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(record.dhcpMode, 1);
    EXPECT_EQ(record.address, 0u);
    EXPECT_EQ(boxes.messages, std::vector<RecordedMessage>{Failure("Driver interface error.")});
}

TEST_F(DeviceConfigDlgTest, AMissingErrorExportShowsItsPlainBoxThenAnEmptyFailureBox) {
    UseLibrary(FAKE_VARL_NO_LAST_ERR);
    fake->State().setConfigResult = 0;
    DeviceRecord record = MakeRecord(0x1A2B3, 1, 0, 0, 0, "QX-100");
    Run(record, [](QDialog& dialog) { Click(dialog, "saveButton"); });
    EXPECT_EQ(boxes.messages,
              (std::vector<RecordedMessage>{Plain("Can't get address of Error_LastErr()."), Failure("")}));
}

// Each control stands at its template's place, at least as large as there, or larger where the
// style needs more for its text.
TEST_F(DeviceConfigDlgTest, IsLaidOutInDialogUnitsOfItsFont) {
    DeviceRecord record = MakeRecord(0x1A2B3, 0, 0, 0, 0, "QX-100");
    Run(record, [](QDialog& dialog) {
        const DialogUnits units(dialog.font());
        EXPECT_EQ(dialog.windowTitle(), "Device Configuration");
        EXPECT_EQ(dialog.size().expandedTo(units.Size(256, 109)), dialog.size());
        const std::pair<const char*, QRect> controls[] = {
            {"saveButton", units.Rect(202, 4, 50, 14)},  {"cancelButton", units.Rect(202, 20, 50, 14)},
            {"serialEdit", units.Rect(60, 10, 32, 12)},  {"ipGateway", units.Rect(60, 91, 112, 12)},
            {"dhcpOn", units.Rect(89, 43, 27, 12)},
        };
        for (const auto& [name, atTemplate] : controls) {
            const QRect placed = Find<QWidget>(dialog, name)->geometry();
            EXPECT_EQ(placed.topLeft(), atTemplate.topLeft()) << name;
            EXPECT_EQ(placed.size().expandedTo(atTemplate.size()), placed.size()) << name;
        }
        EXPECT_TRUE(Find<QPushButton>(dialog, "saveButton")->isDefault());
    });
}

TEST_F(DeviceConfigDlgTest, GrowsWithALargerApplicationFont) {
    const QFont previous = QApplication::font();
    QSize normal;
    {
        CDeviceConfigDlg dialog(DeviceRecord{}, *binding, calls);
        normal = dialog.size();
    }
    QFont larger = previous;
    larger.setPointSizeF(previous.pointSizeF() * 2);
    QApplication::setFont(larger);
    CDeviceConfigDlg dialog(DeviceRecord{}, *binding, calls);
    QApplication::setFont(previous);
    EXPECT_GT(dialog.width(), normal.width());
    EXPECT_GT(dialog.height(), normal.height());
}

}  // namespace
}  // namespace parbex
