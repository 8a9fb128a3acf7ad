// The whole system in the lab: parbex's main window with the real library at its fixed
// location, six simulated units and their FTP servers.
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

#include "lab_client.h"
#include "library_binding.h"
#include "parbex_dlg.h"
#include "shown_texts.h"
#include "tool_test_support.h"

namespace parbex {
namespace {

namespace lab = sim::lab;
using testing::Click;
using testing::Failure;
using testing::Find;
using testing::Info;
using testing::MessageRecorder;
using testing::RecordedMessage;
using testing::ScriptedDialogs;

const char* const kSentNotice = quorrel::texts::kConfigurationSent;

class ParbexLabTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(lab::LabDirectory().empty()) << "runs inside scripts/lab only";
        ASSERT_TRUE(lab::LoadUnitTable(lab::LabUnitTable(6), 6));
        window = std::make_unique<CParbexDlg>(binding);
        testing::ShowActive(*window);
    }

    QTreeWidget* Tree() const { return Find<QTreeWidget>(*window, "deviceTree"); }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(*window, name); }

    // The unit's texts as the tree shows them: device item, then the network item's details.
    QStringList UnitTexts(int row) const {
        QTreeWidgetItem* device = Tree()->topLevelItem(row);
        QStringList texts{device->text(0)};
        QTreeWidgetItem* network = device->child(0);
        for (int i = 0; i < network->childCount(); ++i) {
            texts << network->child(i)->text(0);
        }
        return texts;
    }

    void SelectDetail(int row, int detail) {
        QTreeWidgetItem* item = Tree()->topLevelItem(row)->child(0)->child(detail);
        Tree()->setCurrentItem(item);
        ASSERT_EQ(Tree()->selectedItems().value(0), item);
    }

    void Discover() {
        QTest::mouseClick(Button("discoverButton"), Qt::LeftButton);
        ASSERT_EQ(Tree()->topLevelItemCount(), 6);
    }

    // Opens Configure on the unit in row and saves the given choice.
    void Configure(int row, const char* dhcpButton, const char* address, const char* mask, const char* gateway) {
        SelectDetail(row, 1);
        dialogs.script = [=](QDialog& dialog) {
            Click(dialog, dhcpButton);
            if (address != nullptr) {
                testing::TypeAddress(dialog, "ipAddress", address);
                testing::TypeAddress(dialog, "ipNetMask", mask);
                testing::TypeAddress(dialog, "ipGateway", gateway);
            }
            Click(dialog, "saveButton");
        };
        QTest::mouseClick(Button("configureButton"), Qt::LeftButton);
    }

    MessageRecorder boxes;
    ScriptedDialogs dialogs;
    // The program's own binding: the library at the fixed location.
    quorrel::LibraryBinding binding;
    std::unique_ptr<CParbexDlg> window;
};

TEST_F(ParbexLabTest, DiscoverShowsTheSixUnitsWithTheirValues) {
    const lab::DatagramLog log;
    Discover();
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_EQ(UnitTexts(0), (QStringList{"S/N 1A2B3h", "Chip Name: QX-100", "DHCP: Off", "Address: 10.77.0.10",
                                         "Mask: 255.255.0.0", "Gateway: 10.77.0.1"}));
    EXPECT_EQ(UnitTexts(1), (QStringList{"S/N 1B3C4h", "Chip Name: QX-200", "DHCP: Off", "Address: 10.77.0.11",
                                         "Mask: 255.255.0.0", "Gateway: 10.77.0.1"}));
    EXPECT_EQ(UnitTexts(2), (QStringList{"S/N 1C4D5h", "Chip Name: QX-100", "DHCP: On", "Address: 10.77.0.12",
                                         "Mask: 255.255.0.0", "Gateway: 10.77.0.1"}));
    EXPECT_EQ(UnitTexts(5), (QStringList{"S/N 1F808h", "Chip Name: QX-200", "DHCP: On", "Address: 10.77.0.15",
                                         "Mask: 255.255.0.0", "Gateway: 10.77.0.1"}));
    // Six units are more than the first array holds: two discovery requests went out.
    std::vector<std::string> requests;
    for (const lab::LoggedDatagram& datagram : log.Since()) {
        requests.push_back(datagram.bytes);
        EXPECT_EQ(datagram.sourceAddress, "10.77.0.1");
    }
    EXPECT_EQ(requests, (std::vector<std::string>{"0 1", "0 1"}));
}

TEST_F(ParbexLabTest, ConfigureReachesTheUnitAsTheExactMessageAndASecondDiscoverShowsIt) {
    Discover();
    const lab::DatagramLog log;
    Configure(1, "dhcpOff", "10.77.200.5", "255.255.255.0", "10.77.200.1");
    Configure(0, "dhcpOn", nullptr, nullptr, nullptr);
    EXPECT_EQ(boxes.messages, (std::vector<RecordedMessage>{Info(kSentNotice), Info(kSentNotice)}));

    std::vector<std::string> received;
    for (const lab::LoggedDatagram& datagram : log.Since()) {
        received.push_back(datagram.bytes);
    }
    EXPECT_EQ(received, (std::vector<std::string>{"1B3C4 5 0 10.77.200.5 255.255.255.0 10.77.200.1",
                                                  "1A2B3 5 1    "}));

    Discover();
    EXPECT_EQ(UnitTexts(1), (QStringList{"S/N 1B3C4h", "Chip Name: QX-200", "DHCP: Off", "Address: 10.77.200.5",
                                         "Mask: 255.255.255.0", "Gateway: 10.77.200.1"}));
    // A unit switched to DHCP keeps reporting its addresses.
    EXPECT_EQ(UnitTexts(0), (QStringList{"S/N 1A2B3h", "Chip Name: QX-100", "DHCP: On", "Address: 10.77.0.10",
                                         "Mask: 255.255.0.0", "Gateway: 10.77.0.1"}));
}

TEST_F(ParbexLabTest, UploadFileStoresTheChosenFileInThatUnitsFolderWithTheSameBytes) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("status.htm"));
    const std::string content = "<html>\n<body>Quorrel status</body>\n</html>\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.data(), static_cast<qint64>(content.size()));
    }
    Discover();
    SelectDetail(3, 2);
    dialogs.files.push_back(path);
    QTest::mouseClick(Button("uploadButton"), Qt::LeftButton);
    EXPECT_EQ(boxes.messages, std::vector<RecordedMessage>{Info("File transfer successful.")});
    EXPECT_EQ(lab::ReadFile(lab::LabDirectory() + "/ftp/10.77.0.13/status.htm"), content);
}

TEST_F(ParbexLabTest, ARefusedUploadShowsTheLibrarysTextOnce) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // Nine characters before the dot: more than a unit's file names allow.
    const QString path = folder.filePath(QStringLiteral("ninechars.htm"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x\n");
    }
    Discover();
    SelectDetail(0, 0);
    dialogs.files.push_back(path);
    QTest::mouseClick(Button("uploadButton"), Qt::LeftButton);
    EXPECT_EQ(boxes.messages,
              std::vector<RecordedMessage>{Failure("File upload error. Remote file name must use 8.3 format.")});
    EXPECT_EQ(quorrel::FailureFromLibrary(binding).text, "") << "the text is fetched once";
}

}  // namespace
}  // namespace parbex
