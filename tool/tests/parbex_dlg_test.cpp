#include "parbex_dlg.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "about_dlg.h"
#include "device_config_dlg.h"
#include "device_tree_item.h"
#include "dialog_units.h"
#include "ipv4_address_edit.h"
#include "fake_varl/lab_records.h"
#include "library_binding.h"
#include "unit_text.h"
#include "parbex_app.h"
#include "tool_test_support.h"
#include "upload_file_dialog.h"
#include "upload_progress_window.h"
#include "web_browser.h"

namespace parbex {
namespace {

using fake_varl::Answer;
using fake_varl::DiscoverAnswer;
using testing::Click;
using testing::Failure;
using testing::FakeLibrary;
using testing::Find;
using testing::Info;
using testing::MakeRecord;
using testing::MessageRecorder;
using testing::RecordedMessage;
using testing::ScriptedDialogs;

// The units of a lab of six, in the order they answer.
std::vector<DeviceRecord> SixUnits() { return quorrel::testing::LabRecords(6); }
class ParbexDlgTest : public ::testing::Test {
protected:
    ParbexDlgTest() { UseLibrary(FAKE_VARL_FULL); }

    void UseLibrary(const char* path) {
        window.reset();
        binding.reset();
        fake = std::make_unique<FakeLibrary>(path);
        binding = std::make_unique<quorrel::LibraryBinding>(path);
        window = std::make_unique<CParbexDlg>(*binding);
        testing::ShowActive(*window);
    }

    QTreeWidget* Tree() const { return Find<QTreeWidget>(*window, "deviceTree"); }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(*window, name); }

    void Discover(const std::vector<DiscoverAnswer>& answers) {
        fake->State().discoverAnswers.assign(answers.begin(), answers.end());
        QTest::mouseClick(Button("discoverButton"), Qt::LeftButton);
    }

    // Six units answer both discovery calls.
    void DiscoverSix() { Discover({Answer(SixUnits()), Answer(SixUnits())}); }

    QStringList DeviceItemTexts() const {
        QStringList texts;
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i) {
            texts << Tree()->topLevelItem(i)->text(0);
        }
        return texts;
    }

    QTreeWidgetItem* Device(int row) const { return Tree()->topLevelItem(row); }
    QTreeWidgetItem* Network(int row) const { return Device(row)->child(0); }
    QTreeWidgetItem* Detail(int row, int detail) const { return Network(row)->child(detail); }

    // Selects an item the way a user does: expands its parents and clicks it.
    void ClickItem(QTreeWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        for (QTreeWidgetItem* parent = item->parent(); parent != nullptr; parent = parent->parent()) {
            parent->setExpanded(true);
        }
        Tree()->scrollToItem(item);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, Tree()->visualItemRect(item).center());
        ASSERT_EQ(Tree()->selectedItems().value(0), item);
    }

    std::pair<bool, bool> ConfigureAndUploadEnabled() const {
        return {Button("configureButton")->isEnabled(), Button("uploadButton")->isEnabled()};
    }

    // The expanded items: a device item by its text, a network item after its device item's.
    QStringList ExpandedItems() const {
        QStringList expanded;
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i) {
            if (Device(i)->isExpanded()) expanded << Device(i)->text(0);
            if (Network(i)->isExpanded()) expanded << Device(i)->text(0) + " > " + Network(i)->text(0);
        }
        return expanded;
    }

    MessageRecorder boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<FakeLibrary> fake;
    std::unique_ptr<quorrel::LibraryBinding> binding;
    std::unique_ptr<CParbexDlg> window;
};

TEST_F(ParbexDlgTest, IsLaidOutInDialogUnitsWithItsCaptionAndIcon) {
    const DialogUnits units(window->font());
    EXPECT_EQ(window->windowTitle(), "Quorrel Config Tool");
    EXPECT_EQ(window->size(), units.Size(320, 189));
    EXPECT_EQ(Tree()->geometry(), units.Rect(8, 24, 160, 155));
    EXPECT_EQ(Button("closeButton")->geometry(), units.Rect(264, 8, 50, 14));
    EXPECT_EQ(Button("discoverButton")->geometry(), units.Rect(176, 24, 52, 14));
    EXPECT_EQ(Button("configureButton")->geometry(), units.Rect(176, 48, 52, 14));
    EXPECT_EQ(Button("uploadButton")->geometry(), units.Rect(176, 64, 52, 14));
    EXPECT_TRUE(Tree()->rootIsDecorated());
    EXPECT_FALSE(Tree()->dragEnabled());
    const QList<QSize> sizes = window->windowIcon().availableSizes();
    for (int size : {16, 32, 48, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    }
}

TEST_F(ParbexDlgTest, StartsWithAnEmptyTreeAndBothCommandsDisabled) {
    EXPECT_EQ(Tree()->topLevelItemCount(), 0);
    EXPECT_EQ(ConfigureAndUploadEnabled(), std::make_pair(false, false));
    EXPECT_TRUE(window->Devices().empty());
}

TEST_F(ParbexDlgTest, ExactlyFourUnitsTakeOneDiscoveryCall) {
    std::vector<DeviceRecord> units = SixUnits();
    units.resize(4);
    Discover({Answer(units)});
    const auto calls = fake->CallsOf("VARL_Admin_Discover");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].capacity, 4u);
    EXPECT_EQ(calls[0].timeoutMs, 2000u);
    EXPECT_FALSE(calls[0].recordsNull);
    EXPECT_EQ(DeviceItemTexts(), (QStringList{"S/N 1A2B3h", "S/N 1B3C4h", "S/N 1C4D5h", "S/N 1D5E6h"}));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(ParbexDlgTest, FiveOrMoreUnitsAskTwiceAndShowEveryUnitOfTheSecondAnswer) {
    const std::vector<DeviceRecord> units = SixUnits();
    testing::WaitCursorAtCalls waitCursor(*fake);
    Discover({Answer(units), Answer(units)});
    const auto calls = fake->CallsOf("VARL_Admin_Discover");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].capacity, 4u);
    EXPECT_EQ(calls[1].capacity, 6u);
    EXPECT_EQ(calls[1].timeoutMs, 2000u);
    EXPECT_EQ(DeviceItemTexts(), (QStringList{"S/N 1A2B3h", "S/N 1B3C4h", "S/N 1C4D5h", "S/N 1D5E6h", "S/N 1E6F7h",
                                              "S/N 1F808h"}));
    // The wait cursor covers the first call only.
    EXPECT_EQ(waitCursor.seen, (std::vector<bool>{true, false}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ParbexDlgTest, ASecondAnswerCountingMoreUnitsThanItsArrayHoldsShowsOnlyTheHeldRecords) {
    std::vector<DeviceRecord> units = SixUnits();
    std::vector<DeviceRecord> firstSix = units;
    DiscoverAnswer second = Answer(units);
    second.count = 7;  // a unit that answered only the second broadcast
    second.records.push_back(MakeRecord(0x00001, 0, 0x0A4D0063, 0xFFFF0000, 0x0A4D0001, "QX-300"));
    Discover({Answer(firstSix), second});
    EXPECT_EQ(window->Devices().size(), 6u);
    EXPECT_EQ(Tree()->topLevelItemCount(), 6);
    EXPECT_FALSE(DeviceItemTexts().contains("S/N 00001h"));
}

TEST_F(ParbexDlgTest, UnitsAnsweringOutOfOrderAppearSortedAndEachItemPointsAtItsOwnRecord) {
    const std::vector<DeviceRecord> units{
        MakeRecord(0x3C, 0, 0x0A4D0003, 0xFFFF0000, 0x0A4D0001, "third"),
        MakeRecord(0xA1F3, 1, 0x0A4D0001, 0xFFFF0000, 0x0A4D0001, "first"),
        MakeRecord(0x1B, 0, 0x0A4D0002, 0xFFFF0000, 0x0A4D0001, "second"),
    };
    Discover({Answer(units)});
    EXPECT_EQ(DeviceItemTexts(), (QStringList{"S/N 0001Bh", "S/N 0003Ch", "S/N 0A1F3h"}));
    for (int row = 0; row < 3; ++row) {
        const auto index = Device(row)->data(0, kRecordIndexRole).toULongLong();
        ASSERT_LT(index, window->Devices().size());
        EXPECT_EQ(quorrel::DeviceItemText(window->Devices()[index]), Device(row)->text(0).toStdString()) << "row " << row;
        EXPECT_EQ(Detail(row, 0)->data(0, kRecordIndexRole).toULongLong(), index) << "row " << row;
        EXPECT_EQ(Detail(row, 0)->text(0).toStdString(), "Chip Name: " + quorrel::ChipName(window->Devices()[index]));
    }
}

TEST_F(ParbexDlgTest, BuildsThreeLevelsPerUnitCollapsedAndUnselected) {
    Discover({Answer({MakeRecord(0x1A2B3, 0, 0x0A4D000A, 0xFFFF0000, 0x0A4D0001, "QX-100"),
                      MakeRecord(0x1C4D5, 1, 0x0A4D000C, 0xFFFF0000, 0x0A4D0001, "QX-100")})});
    ASSERT_EQ(Tree()->topLevelItemCount(), 2);
    EXPECT_EQ(Device(0)->childCount(), 1);
    EXPECT_EQ(Network(0)->text(0), "Network Configuration");
    QStringList details;
    for (int i = 0; i < Network(0)->childCount(); ++i) {
        details << Detail(0, i)->text(0);
    }
    EXPECT_EQ(details, (QStringList{"Chip Name: QX-100", "DHCP: Off", "Address: 10.77.0.10", "Mask: 255.255.0.0",
                                    "Gateway: 10.77.0.1"}));
    EXPECT_EQ(Detail(1, 1)->text(0), "DHCP: On");
    EXPECT_EQ(Device(0)->data(0, kItemKindRole).toInt(), static_cast<int>(TreeItemKind::Device));
    EXPECT_EQ(Network(0)->data(0, kItemKindRole).toInt(), static_cast<int>(TreeItemKind::Network));
    EXPECT_EQ(Detail(0, 4)->data(0, kItemKindRole).toInt(), static_cast<int>(TreeItemKind::Detail));
    EXPECT_TRUE(ExpandedItems().isEmpty());
    EXPECT_TRUE(Tree()->selectedItems().isEmpty());
    EXPECT_EQ(ConfigureAndUploadEnabled(), std::make_pair(false, false));
}

TEST_F(ParbexDlgTest, UnitsReportingOneAddressAreBothMarkedNamingTheOther) {
    std::vector<DeviceRecord> units = SixUnits();
    units[4].address = units[1].address;
    Discover({Answer(units), Answer(units)});
    QStringList marked;
    for (int row = 0; row < Tree()->topLevelItemCount(); ++row) {
        if (!Device(row)->icon(0).isNull()) marked << Device(row)->text(0) + ": " + Device(row)->toolTip(0);
    }
    EXPECT_EQ(marked, (QStringList{"S/N 1B3C4h: Another unit reports 10.77.0.11 too: S/N 1E6F7h",
                                   "S/N 1E6F7h: Another unit reports 10.77.0.11 too: S/N 1B3C4h"}));
}

TEST_F(ParbexDlgTest, TheSelectionDecidesWhichCommandsAreEnabled) {
    DiscoverSix();
    ClickItem(Device(1));
    EXPECT_EQ(ConfigureAndUploadEnabled(), std::make_pair(false, true)) << "device item";
    ClickItem(Network(1));
    EXPECT_EQ(ConfigureAndUploadEnabled(), std::make_pair(true, true)) << "network item";
    ClickItem(Detail(1, 4));
    EXPECT_EQ(ConfigureAndUploadEnabled(), std::make_pair(true, true)) << "detail item";
    Tree()->clearSelection();
    EXPECT_EQ(ConfigureAndUploadEnabled(), std::make_pair(false, false)) << "nothing";
}

struct DiscoverFailureRow {
    const char* name;
    std::vector<DiscoverAnswer> answers;
    std::size_t calls;
};

class ParbexDlgDiscoverFailureTest : public ParbexDlgTest,
                                     public ::testing::WithParamInterface<DiscoverFailureRow> {};

TEST_P(ParbexDlgDiscoverFailureTest, ShowsTheLibrarysTextAndLeavesTheTreeEmpty) {
    DiscoverSix();
    ClickItem(Detail(0, 2));
    fake->State().errorText = "Communications error. Could not receive (WSAECONNRESET)";
    Discover(GetParam().answers);
    EXPECT_EQ(fake->CallsOf("VARL_Admin_Discover").size(), 2 + GetParam().calls);
    EXPECT_EQ(boxes.messages, std::vector<RecordedMessage>{
                                  Failure("Communications error. Could not receive (WSAECONNRESET)")});
    EXPECT_EQ(Tree()->topLevelItemCount(), 0);
    EXPECT_TRUE(window->Devices().empty());
    EXPECT_EQ(ConfigureAndUploadEnabled(), std::make_pair(false, false));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Calls, ParbexDlgDiscoverFailureTest,
                         ::testing::Values(DiscoverFailureRow{"first_call", {DiscoverAnswer{0, 0, {}}}, 1},
                                           DiscoverFailureRow{"second_call",
                                                              {Answer(SixUnits()), DiscoverAnswer{0, 0, {}}},
                                                              2}),
                         [](const auto& info) { return info.param.name; });

TEST_F(ParbexDlgTest, TheTreeIsEmptiedBeforeTheLibraryIsAsked) {
    DiscoverSix();
    std::vector<int> itemsAtCall;
    fake->State().onCall = [this, &itemsAtCall](const std::string&) { itemsAtCall.push_back(Tree()->topLevelItemCount()); };
    DiscoverSix();
    EXPECT_EQ(itemsAtCall, (std::vector<int>{0, 0}));
    EXPECT_EQ(Tree()->topLevelItemCount(), 6);
}

TEST_F(ParbexDlgTest, NoUnitsFoundIsAnInformationWithTheFirewallHintAndAnEmptyTree) {
    Discover({Answer({})});
    EXPECT_EQ(boxes.messages, std::vector<RecordedMessage>{Info(
                                  "No Quorrel units found.",
                                  "A firewall on this computer may drop the units' replies: \"quorrel doctor\" in a "
                                  "terminal tells.")});
    EXPECT_EQ(Tree()->topLevelItemCount(), 0);
    EXPECT_TRUE(window->Devices().empty());
}

TEST_F(ParbexDlgTest, WithoutTheLibraryEachDiscoverSaysSoAndChangesNothing) {
    UseLibrary(FAKE_VARL_MISSING);
    QTest::mouseClick(Button("discoverButton"), Qt::LeftButton);
    QTest::mouseClick(Button("discoverButton"), Qt::LeftButton);
    EXPECT_EQ(boxes.messages, (std::vector<RecordedMessage>{Failure("Could not load VARL.DLL."),
                                                            Failure("Could not load VARL.DLL.")}));
    EXPECT_EQ(Tree()->topLevelItemCount(), 0);
    EXPECT_TRUE(window->Devices().empty());
}

TEST_F(ParbexDlgTest, AMissingDiscoverExportIsADriverInterfaceError) {
    UseLibrary(FAKE_VARL_NO_DISCOVER);
    QTest::mouseClick(Button("discoverButton"), Qt::LeftButton);
    EXPECT_EQ(boxes.messages, std::vector<RecordedMessage>{Failure("Driver interface error.")});
    EXPECT_TRUE(window->Devices().empty());
}

TEST_F(ParbexDlgTest, EscOnADetailItemOpensTheDialogForThatUnit) {
    DiscoverSix();
    ClickItem(Detail(3, 1));
    QString serialShown;
    dialogs.script = [&serialShown](QDialog& dialog) {
        serialShown = Find<QLineEdit>(dialog, "serialEdit")->text();
        Click(dialog, "cancelButton");
    };
    QTest::keyClick(Tree(), Qt::Key_Escape);
    EXPECT_EQ(dialogs.runTitles, std::vector<QString>{"Device Configuration"});
    EXPECT_EQ(serialShown, "1D5E6");
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ParbexDlgTest, EscWithoutAUnitAboveTheSelectionDoesNothing) {
    DiscoverSix();
    QTest::keyClick(Tree(), Qt::Key_Escape);
    ClickItem(Device(0));
    QTest::keyClick(Tree(), Qt::Key_Escape);
    EXPECT_TRUE(dialogs.runTitles.empty());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ParbexDlgTest, ClosingFromTheTitleBarEndsTheWindowWithoutTheDialog) {
    DiscoverSix();
    ClickItem(Detail(0, 0));
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.runTitles.empty());
}

TEST_F(ParbexDlgTest, FromTheKeyboardAltFConfiguresTheSelectedUnitAndAltCCloses) {
    DiscoverSix();
    ClickItem(Network(2));
    QString serialShown;
    dialogs.script = [&serialShown](QDialog& dialog) {
        serialShown = Find<QLineEdit>(dialog, "serialEdit")->text();
        Click(dialog, "cancelButton");
    };
    QTest::keyClick(window.get(), Qt::Key_F, Qt::AltModifier);
    // A button pressed from the keyboard shows itself pressed for a moment before it acts.
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialogs.runTitles.empty(); }, 2000));
    EXPECT_EQ(serialShown, "1C4D5");

    testing::ShowActive(*window);
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 2000));
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.runTitles.size(), 1u);
}

TEST_F(ParbexDlgTest, EnterTriggersNoDisabledCommand) {
    DiscoverSix();
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(dialogs.runTitles.empty());
    EXPECT_EQ(dialogs.fileRequests, 0);
    EXPECT_EQ(fake->CallsOf("VARL_Admin_Discover").size(), 2u);
    // On a focused command button Enter presses it.
    Button("discoverButton")->setFocus();
    fake->State().discoverAnswers.push_back(Answer({}));
    QTest::keyClick(Button("discoverButton"), Qt::Key_Return);
    EXPECT_EQ(fake->CallsOf("VARL_Admin_Discover").size(), 3u);
}

TEST_F(ParbexDlgTest, AfterSaveTheTreeShowsTheEnteredValuesAsTheUserLeftItWhateverTheLibraryAnswered) {
    DiscoverSix();
    fake->State().setConfigResult = 0;
    Device(4)->setExpanded(true);
    ClickItem(Detail(1, 2));
    dialogs.script = [](QDialog& dialog) {
        auto* address = Find<Ipv4AddressEdit>(dialog, "ipAddress");
        address->Box(2)->setFocus();
        address->Box(2)->selectAll();
        testing::TypeKeys(dialog, "200.5");
        Click(dialog, "saveButton");
    };
    QTest::mouseClick(Button("configureButton"), Qt::LeftButton);
    ASSERT_EQ(dialogs.runTitles.size(), 1u);
    EXPECT_EQ(Detail(1, 2)->text(0), "Address: 10.77.200.5");
    EXPECT_EQ(Device(1)->text(0), "S/N 1B3C4h");
    EXPECT_EQ(ExpandedItems(), (QStringList{"S/N 1B3C4h", "S/N 1B3C4h > Network Configuration", "S/N 1E6F7h"}));
    EXPECT_EQ(Tree()->selectedItems(), QList<QTreeWidgetItem*>{Detail(1, 2)});
    EXPECT_EQ(ConfigureAndUploadEnabled(), std::make_pair(true, true));
    const auto calls = fake->CallsOf("VARL_Admin_SetConfig");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].firstArgument, 0x1B3C4u);
    EXPECT_EQ(calls[0].record.address, 0x0A4DC805u);
}

TEST_F(ParbexDlgTest, CancelInTheDialogLeavesTheTreeAsItWas) {
    DiscoverSix();
    ClickItem(Detail(0, 1));
    dialogs.script = [](QDialog& dialog) {
        Click(dialog, "dhcpOn");
        Click(dialog, "cancelButton");
    };
    QTest::mouseClick(Button("configureButton"), Qt::LeftButton);
    EXPECT_EQ(Detail(0, 1)->text(0), "DHCP: Off");
    EXPECT_EQ(Tree()->selectedItems().value(0), Detail(0, 1));
}

// Runs action while each command's library call waits, on the library's thread, until a timer on
// the window's thread has fired three times since the call began and ready() has held there: a
// call can end only while the window's event loop turns, however loaded the machine. each runs at
// every tick. Returns how many calls gave up waiting, after 10 s each (a call that blocks the
// window's thread stops the timer), or during which the timer fired less than once per 50 ms on
// average: the count, unlike the longest gap, does not hang on one moment of a loaded machine.
int CallsThatStalledTheWindow(testing::FakeLibrary& fake, const std::function<void()>& action,
                              const std::function<bool()>& ready = {}, const std::function<void()>& each = {}) {
    std::atomic<int> ticks{0};
    std::atomic<bool> readySeen{!ready};
    std::atomic<int> stalled{0};
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (each) each();
        if (ready && ready()) readySeen = true;
        ++ticks;
    });
    fake.State().onCall = [&](const std::string& exportName) {
        if (exportName == "VARL_Error_LastErr") return;
        const int start = ticks;
        const auto began = std::chrono::steady_clock::now();
        while (ticks < start + 3 || !readySeen) {
            if (std::chrono::steady_clock::now() > began + std::chrono::seconds(10)) {
                ++stalled;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto lasted = std::chrono::steady_clock::now() - began;
        if (ticks - start < lasted / std::chrono::milliseconds(50)) ++stalled;
    };
    ticker.start();
    action();
    fake.State().onCall = nullptr;
    return stalled;
}

TEST_F(ParbexDlgTest, DiscoveryLeavesTheWindowTurningWithItsCommandsDisabled) {
    int ticksWhileDiscoverEnabled = 0;
    const int stalled = CallsThatStalledTheWindow(*fake, [this] { DiscoverSix(); }, {}, [&] {
        ticksWhileDiscoverEnabled += Button("discoverButton")->isEnabled();
    });
    EXPECT_EQ(stalled, 0);
    EXPECT_EQ(fake->CallsOf("VARL_Admin_Discover").size(), 2u);
    EXPECT_EQ(ticksWhileDiscoverEnabled, 0);
    EXPECT_EQ(Tree()->topLevelItemCount(), 6);
    EXPECT_TRUE(Button("discoverButton")->isEnabled());
}

class ParbexDlgUploadTest : public ParbexDlgTest {
protected:
    ParbexDlgUploadTest() {
        EXPECT_TRUE(folder.isValid());
        path = folder.filePath(QStringLiteral("index.htm"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<html></html>\n");
    }

    QTemporaryDir folder;
    QString path;
};

TEST_F(ParbexDlgUploadTest, FromADetailItemOfTheSecondUnitGoesToTheSecondUnitsAddress) {
    DiscoverSix();
    testing::WaitCursorAtCalls waitCursor(*fake);
    ClickItem(Detail(1, 3));
    dialogs.files.push_back(path);
    QTest::mouseClick(Button("uploadButton"), Qt::LeftButton);
    const auto calls = fake->CallsOf("VARL_Admin_UploadFile");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].address, 0x0A4D000Bu);
    EXPECT_EQ(calls[0].localPath, QFile::encodeName(path).toStdString());
    EXPECT_EQ(calls[0].ignoredText, "");
    EXPECT_EQ(calls[0].remoteName, "index.htm");
    EXPECT_EQ(calls[0].ignoredNumber, 0u);
    EXPECT_EQ(waitCursor.seen, std::vector<bool>{true});
    EXPECT_EQ(boxes.messages, std::vector<RecordedMessage>{Info("File transfer successful.")});
}

// The upload lasts 3 s, and at least until its progress window has shown, a second after it began.
TEST_F(ParbexDlgUploadTest, AThreeSecondUploadLeavesTheWindowTurningAndShowsItsProgressAfterASecond) {
    DiscoverSix();
    ClickItem(Detail(1, 3));
    dialogs.files.push_back(path);
    QStringList shown;
    QElapsedTimer sinceClick;
    qint64 shownAfterMs = -1;
    const auto progressShown = [&] {
        auto* progress = window->findChild<UploadProgressWindow*>();
        if (shown.isEmpty() && progress != nullptr && progress->isVisible()) {
            shownAfterMs = sinceClick.elapsed();
            shown << Find<QLabel>(*progress, "fileLabel")->text() << Find<QLabel>(*progress, "unitLabel")->text();
        }
        return !shown.isEmpty() && sinceClick.elapsed() >= 3000;
    };
    sinceClick.start();
    const int stalled = CallsThatStalledTheWindow(
        *fake, [this] { QTest::mouseClick(Button("uploadButton"), Qt::LeftButton); }, progressShown);
    EXPECT_EQ(stalled, 0);
    EXPECT_EQ(shown, (QStringList{"Uploading index.htm (14 bytes)", "to S/N 1B3C4h at 10.77.0.11"}));
    // A coarse timer may fire up to a twentieth early.
    EXPECT_GE(shownAfterMs, UploadProgressWindow::kShowAfterMs * 9 / 10);
    EXPECT_EQ(window->findChild<UploadProgressWindow*>(), nullptr);
    EXPECT_EQ(boxes.messages, std::vector<RecordedMessage>{Info("File transfer successful.")});
    EXPECT_EQ(boxes.parents, std::vector<QWidget*>{window.get()});
}

// The upload lasts until Close has been clicked while its progress window showed.
TEST_F(ParbexDlgUploadTest, CloseDuringAnUploadIsNotBlockedByItsProgressAndClosesOnceItHasEnded) {
    DiscoverSix();
    ClickItem(Detail(1, 3));
    dialogs.files.push_back(path);
    bool closeClicked = false;
    bool openAfterClose = false;
    const auto clickCloseOnceProgressShows = [&] {
        auto* progress = window->findChild<UploadProgressWindow*>();
        if (!closeClicked && progress != nullptr && progress->isVisible()) {
            // Through the window, as the desktop delivers it: a modal window would block it there.
            QPushButton* close = Button("closeButton");
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                              close->mapTo(window.get(), close->rect().center()));
            closeClicked = true;
            openAfterClose = window->isVisible();
        }
        return closeClicked;
    };
    const int stalled = CallsThatStalledTheWindow(
        *fake, [this] { QTest::mouseClick(Button("uploadButton"), Qt::LeftButton); }, clickCloseOnceProgressShows);
    EXPECT_EQ(stalled, 0);
    EXPECT_TRUE(closeClicked);
    EXPECT_TRUE(openAfterClose);
    EXPECT_EQ(fake->CallsOf("VARL_Admin_UploadFile").size(), 1u);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ParbexDlgUploadTest, FromADeviceItemGoesToThatUnit) {
    DiscoverSix();
    ClickItem(Device(5));
    dialogs.files.push_back(path);
    QTest::mouseClick(Button("uploadButton"), Qt::LeftButton);
    const auto calls = fake->CallsOf("VARL_Admin_UploadFile");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].address, 0x0A4D000Fu);
}

TEST_F(ParbexDlgUploadTest, ALongPathIsHandedOverWhole) {
    QString deep = folder.path();
    for (int i = 0; i < 12; ++i) {
        deep += QStringLiteral("/a-folder-name-of-forty-characters-%1xxxx").arg(i, 2, 10, QLatin1Char('0'));
    }
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString longPath = deep + QStringLiteral("/a-file-whose-name-is-longer-than-it-should-be") + QString(160, 'n');
    QFile file(longPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << longPath.size();
    file.close();
    DiscoverSix();
    ClickItem(Detail(0, 0));
    dialogs.files.push_back(longPath);
    QTest::mouseClick(Button("uploadButton"), Qt::LeftButton);
    const auto calls = fake->CallsOf("VARL_Admin_UploadFile");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_GT(calls[0].localPath.size(), 400u);
    EXPECT_GT(calls[0].remoteName.size(), 200u);
    EXPECT_EQ(calls[0].localPath, QFile::encodeName(longPath).toStdString());
    EXPECT_EQ(calls[0].remoteName, QFile::encodeName(QFileInfo(longPath).fileName()).toStdString());
}

struct UploadOutcomeRow {
    const char* name;
    const char* library;
    std::optional<QString> chosen;  // nullopt: the user cancels; a value "*" stands for the test file
    VarlBool result;
    std::vector<RecordedMessage> messages;
    std::size_t uploads;
};

class ParbexDlgUploadOutcomeTest : public ParbexDlgUploadTest,
                                   public ::testing::WithParamInterface<UploadOutcomeRow> {};

TEST_P(ParbexDlgUploadOutcomeTest, ShowsTheOutcome) {
    const UploadOutcomeRow& row = GetParam();
    if (std::string(row.library) != FAKE_VARL_FULL) {
        UseLibrary(row.library);
    }
    DiscoverSix();
    ClickItem(Detail(2, 0));
    fake->State().uploadResult = row.result;
    // What the library says of a failed upload: the text the row expects in its box.
    fake->State().errorText = row.messages.empty() ? "" : row.messages[0].text.toStdString();
    dialogs.files.push_back(row.chosen.has_value() && *row.chosen == "*" ? std::optional<QString>(path) : row.chosen);
    QTest::mouseClick(Button("uploadButton"), Qt::LeftButton);
    EXPECT_EQ(dialogs.fileRequests, 1);
    EXPECT_EQ(boxes.messages, row.messages);
    // Shown right after the file dialog closed, when Wayland has no active window: each box names
    // the main window as its parent itself.
    EXPECT_EQ(boxes.parents, std::vector<QWidget*>(row.messages.size(), window.get()));
    EXPECT_EQ(fake->CallsOf("VARL_Admin_UploadFile").size(), row.uploads);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParbexDlgUploadOutcomeTest,
    ::testing::Values(
        UploadOutcomeRow{"cancelled", FAKE_VARL_FULL, std::nullopt, 1, {Info("File upload cancelled by user.")}, 0},
        UploadOutcomeRow{"no_file_name", FAKE_VARL_FULL, QString(), 1, {Info("No files selected.")}, 0},
        UploadOutcomeRow{"library_fails", FAKE_VARL_FULL, QString("*"), 0,
                         {Failure("Unable to connect to 10.77.0.12")}, 1},
        UploadOutcomeRow{"name_refused", FAKE_VARL_FULL, QString("*"), 0,
                         {Failure("File upload error. Remote file name must use 8.3 format.")}, 1},
        UploadOutcomeRow{"export_missing", FAKE_VARL_NO_UPLOAD_FILE, QString("*"), 1,
                         {Failure("Driver interface error.")}, 0}),
    [](const auto& info) { return info.param.name; });

TEST_F(ParbexDlgTest, AboutIsInTheContextMenuAndOnF1) {
    auto* about = Find<QAction>(*window, "aboutAction");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), "&About Parbex...");
    EXPECT_EQ(window->contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_TRUE(window->actions().contains(about));

    QStringList texts;
    dialogs.script = [&texts](QDialog& dialog) {
        for (const char* name : {"makerLabel", "versionLabel", "copyrightLabel"}) {
            texts << Find<QLabel>(dialog, name)->text();
        }
        Click(dialog, "okButton");
    };
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(dialogs.runTitles, std::vector<QString>{"About Parbex"});
    EXPECT_EQ(dialogs.leftOpen, 0);
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0], "Tamberlode");
    EXPECT_EQ(texts[1], "Parbex (ver 1.0)");
    EXPECT_TRUE(texts[2].contains("Tamberlode"));
}

TEST_F(ParbexDlgTest, GrowsWithItsTreeButNeverShrinksBelowItsFirstSize) {
    const QSize first = window->size();
    const QRect tree = Tree()->geometry();
    std::vector<QRect> buttons;
    for (const char* name : {"closeButton", "discoverButton", "configureButton", "uploadButton"}) {
        buttons.push_back(Button(name)->geometry());
    }

    window->resize(first + QSize(200, 120));
    EXPECT_EQ(window->size(), first + QSize(200, 120));
    EXPECT_EQ(Tree()->geometry(), tree.adjusted(0, 0, 200, 120));
    // Each button keeps its distance to the top and right edges.
    int i = 0;
    for (const char* name : {"closeButton", "discoverButton", "configureButton", "uploadButton"}) {
        EXPECT_EQ(Button(name)->geometry(), buttons[static_cast<std::size_t>(i++)].translated(200, 0)) << name;
    }

    window->resize(first - QSize(100, 50));
    EXPECT_EQ(window->size(), first);
    EXPECT_EQ(Tree()->geometry(), tree);
}

TEST_F(ParbexDlgTest, RemembersItsSizeForTheNextRun) {
    const QSize first = window->size();
    window->resize(first + QSize(150, 90));
    window->close();
    CParbexDlg nextRun(*binding);
    testing::ShowActive(nextRun);
    EXPECT_EQ(nextRun.size(), first + QSize(150, 90));
    EXPECT_EQ(Find<QTreeWidget>(nextRun, "deviceTree")->size(), Tree()->size());
}

// Stands in for the desktop's browser: notes the addresses it is asked to open.
class BrowserRecorder final : public WebBrowser {
public:
    BrowserRecorder() : m_previous(InstallWebBrowser(this)) {}
    ~BrowserRecorder() override { InstallWebBrowser(m_previous); }

    bool Open(const QUrl& url) override {
        opened.push_back(url.toString().toStdString());
        return found;
    }

    std::vector<std::string> opened;
    bool found = true;  // whether the desktop has a browser

private:
    WebBrowser* m_previous;
};

// What the menu offers on a unit's item; the separator has no text.
const QStringList kUnitMenu{"&Copy Address", "Open in &Web Browser", "", "Other &Subnets..."};

struct TreeMenuRow {
    const char* name;
    int depth;  // 0 the device item, 1 the network item, 2 a detail, -1 no item
    QStringList offered;
};

class ParbexDlgTreeMenuFixture : public ParbexDlgTest {
protected:
    // Sends receiver the event that asks for the tree's context menu, notes what the menu offers
    // and chooses the entry with the given text, if any.
    static QStringList OpenMenu(QWidget* receiver, QContextMenuEvent& event, const QString& choice) {
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                offered << action->text();
                if (action->text() == choice) chosen = action;
            }
            menu->close();
            if (chosen != nullptr) chosen->trigger();
        });
        QApplication::sendEvent(receiver, &event);
        return offered;
    }

    // Opens the menu as the mouse does, at position (viewport coordinates).
    QStringList OpenMenu(QPoint position, const QString& choice) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, position, Tree()->viewport()->mapToGlobal(position));
        return OpenMenu(Tree()->viewport(), event, choice);
    }

    QPoint PositionOf(int depth) {
        if (depth < 0) return {Tree()->viewport()->width() / 2, Tree()->viewport()->height() - 5};
        QTreeWidgetItem* item = depth == 0 ? Device(1) : depth == 1 ? Network(1) : Detail(1, 3);
        for (QTreeWidgetItem* parent = item->parent(); parent != nullptr; parent = parent->parent()) {
            parent->setExpanded(true);
        }
        return Tree()->visualItemRect(item).center();
    }

    BrowserRecorder browser;
};

class ParbexDlgTreeMenuTest : public ParbexDlgTreeMenuFixture, public ::testing::WithParamInterface<TreeMenuRow> {};

TEST_P(ParbexDlgTreeMenuTest, OffersTheUnitsAddressOnAnyOfItsItems) {
    DiscoverSix();
    ClickItem(Device(0));
    const QPoint position = PositionOf(GetParam().depth);
    EXPECT_EQ(OpenMenu(position, QString()), GetParam().offered);
    if (GetParam().depth < 0) return;

    QApplication::clipboard()->clear();
    OpenMenu(position, QStringLiteral("&Copy Address"));
    EXPECT_EQ(QApplication::clipboard()->text(), "10.77.0.11");
    OpenMenu(position, QStringLiteral("Open in &Web Browser"));
    EXPECT_EQ(browser.opened, std::vector<std::string>{"http://10.77.0.11/"});
    EXPECT_TRUE(boxes.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Items, ParbexDlgTreeMenuTest,
    ::testing::Values(TreeMenuRow{"device_item", 0, kUnitMenu}, TreeMenuRow{"network_item", 1, kUnitMenu},
                      TreeMenuRow{"detail_item", 2, kUnitMenu},
                      TreeMenuRow{"no_item", -1, {"&About Parbex...", "Other &Subnets..."}}),
    [](const auto& info) { return info.param.name; });

TEST_F(ParbexDlgTreeMenuTest, ADesktopWithoutABrowserSaysSo) {
    DiscoverSix();
    browser.found = false;
    OpenMenu(PositionOf(2), QStringLiteral("Open in &Web Browser"));
    EXPECT_EQ(boxes.messages,
              std::vector<RecordedMessage>{Failure("Could not open http://10.77.0.11/ in a web browser.")});
}

TEST_F(ParbexDlgTreeMenuTest, TheMenuKeyOpensItOnTheCurrentItem) {
    DiscoverSix();
    ClickItem(Detail(2, 1));
    // What the desktop's window sends its focus widget for the Menu key.
    Tree()->setFocus();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), Tree()->mapToGlobal(QPoint()));
    EXPECT_EQ(OpenMenu(Tree(), event, QStringLiteral("&Copy Address")), kUnitMenu);
    EXPECT_EQ(QApplication::clipboard()->text(), "10.77.0.12");
}

struct OtherSubnetsRow {
    const char* name;
    const char* typed;
    std::vector<RecordedMessage> messages;
    // VARL_TARGETS as each discovery call found it.
    std::vector<std::string> seenByLibrary;
};

class ParbexDlgOtherSubnetsTest : public ParbexDlgTreeMenuFixture,
                                  public ::testing::WithParamInterface<OtherSubnetsRow> {};

TEST_P(ParbexDlgOtherSubnetsTest, TheListReachesTheLibraryOnceTheLibraryWouldTakeIt) {
    const OtherSubnetsRow& row = GetParam();
    DiscoverSix();
    std::vector<QWidget*> dialogsShown;
    dialogs.script = [&row, &dialogsShown](QDialog& dialog) {
        dialogsShown.push_back(&dialog);
        Find<QLineEdit>(dialog, "listEdit")->setText(QString::fromLatin1(row.typed));
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    };
    OpenMenu(PositionOf(0), QStringLiteral("Other &Subnets..."));
    EXPECT_EQ(dialogs.runTitles, std::vector<QString>{"Other Subnets"});
    EXPECT_EQ(boxes.messages, row.messages);
    EXPECT_EQ(boxes.parents, std::vector<QWidget*>(row.messages.size(), dialogsShown.at(0)));

    std::vector<std::string> seen;
    fake->State().onCall = [&seen](const std::string& exportName) {
        const char* targets = std::getenv("VARL_TARGETS");
        if (exportName == "VARL_Admin_Discover") seen.push_back(targets != nullptr ? targets : "unset");
    };
    DiscoverSix();
    EXPECT_EQ(seen, row.seenByLibrary);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ParbexDlgOtherSubnetsTest,
    ::testing::Values(OtherSubnetsRow{"taken", " 10.80.0.0/24, 10.81.0.7 ", {}, {"10.80.0.0/24, 10.81.0.7", "10.80.0.0/24, 10.81.0.7"}},
                      OtherSubnetsRow{"refused",
                                      "10.80.0.0/24 10.0.0.0/8",
                                      {Failure("Argument error. VARL_TARGETS holds a range wider than /16.")},
                                      {"unset", "unset"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(ParbexDlgTest, CtrlCInTheTreeCopiesTheSelectedUnitsAddress) {
    DiscoverSix();
    ClickItem(Detail(4, 0));
    QApplication::clipboard()->clear();
    QTest::keyClick(Tree(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "10.77.0.14");
}

// The program's own runner with the real file dialog, driven from inside its event loop as a user
// would: reads the filters it offers, then types a name or cancels.
struct ChooserRow {
    const char* name;
    const char* typed;  // nullptr: the user cancels
    bool chosen;
};

class DialogRunnerFileChooserTest : public ::testing::TestWithParam<ChooserRow> {};

TEST_P(DialogRunnerFileChooserTest, OffersAllFilesFirstThenWebFilesAndReturnsTheChosenPath) {
    QTemporaryDir folder;
    for (const char* name : {"README", "index.htm", "page.html", "app.js", "notes.txt"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QStringList offered;
    QString initialFilter;
    QStringList nameFilters;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        for (int i = 0; i < types->count(); ++i) offered << types->itemText(i);
        initialFilter = dialog->selectedNameFilter();
        nameFilters = dialog->nameFilters();
        if (GetParam().typed == nullptr) {
            dialog->reject();
            return;
        }
        auto* fileName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        fileName->setText(folder.filePath(QString::fromLatin1(GetParam().typed)));
        QTest::keyClick(fileName, Qt::Key_Return);
    });
    const std::optional<QString> chosen = CurrentDialogRunner().ChooseUploadFile(nullptr);

    EXPECT_EQ(offered, (QStringList{"All Files (*.*)", "Web Files (*.htm;*.html;*.js)"}));
    EXPECT_EQ(initialFilter, "All Files (*.*)");
    if (GetParam().chosen) {
        EXPECT_EQ(chosen, std::optional<QString>(folder.filePath(QString::fromLatin1(GetParam().typed))));
    } else {
        EXPECT_EQ(chosen, std::nullopt);
    }
    // Qt takes a filter's patterns from its last pair of parentheses, separated by blanks: every
    // file, dot or not, then the web files.
    const auto matching = [&folder](const QString& filter) {
        const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("\\(([^()]*)\\)$")).match(filter);
        const QStringList patterns = match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        return QDir(folder.path()).entryList(patterns, QDir::Files, QDir::Name);
    };
    ASSERT_EQ(nameFilters.size(), 2);
    EXPECT_EQ(matching(nameFilters.at(0)), (QStringList{"README", "app.js", "index.htm", "notes.txt", "page.html"}));
    EXPECT_EQ(matching(nameFilters.at(1)), (QStringList{"app.js", "index.htm", "page.html"}));
}

INSTANTIATE_TEST_SUITE_P(Rows, DialogRunnerFileChooserTest,
                         ::testing::Values(ChooserRow{"chosen", "index.htm", true},
                                           ChooserRow{"a_file_without_a_dot", "README", true},
                                           ChooserRow{"cancelled", nullptr, false}),
                         [](const auto& info) { return info.param.name; });

TEST(CParbexApp, RunsTheMainWindowModallyUntilItCloses) {
    ScriptedDialogs dialogs;
    CParbexApp app;
    dialogs.script = [](QDialog& dialog) { Click(dialog, "closeButton"); };
    app.InitInstance();
    EXPECT_EQ(dialogs.runTitles, std::vector<QString>{"Quorrel Config Tool"});
    EXPECT_EQ(dialogs.leftOpen, 0);
}

}  // namespace
}  // namespace parbex
