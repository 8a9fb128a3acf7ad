// The main window: the device tree of the last discovery and the commands Discover,
// Configure..., Upload File... and Close. It shows what the core's operations return.
#pragma once

#include <QDialog>
#include <QIcon>

#include <vector>

#include "varl.h"

class QAction;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quorrel {
class LibraryBinding;
}

namespace parbex {

class CParbexDlg : public QDialog {
    Q_OBJECT

public:
    explicit CParbexDlg(quorrel::LibraryBinding& library, QWidget* parent = nullptr);
    ~CParbexDlg() override;

    // The device list: the units of the last discovery, in the order they answered.
    const std::vector<DeviceRecord>& Devices() const { return m_devices; }

    void OnDiscover();
    void OnConfigure();
    void OnUploadFile();
    void OnAbout();

protected:
    void ClearDeviceTree();
    void FillDeviceTree();
    void UpdateCommandButtons();

    // Esc runs Configure (its button carries the cancel role of the window); closing from the
    // title bar still ends the window without it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidgetItem* SelectedItem() const;
    void InsertDeviceItem(std::size_t index);
    // The index of the record of the unit the selected item belongs to, or -1 when nothing is
    // selected or the item's kind does not allow the command.
    int SelectedRecordIndex(bool forConfigure) const;

    quorrel::LibraryBinding& m_library;

    QPushButton* m_btnClose;
    QPushButton* m_btnDiscover;
    QPushButton* m_btnConfigure;
    QPushButton* m_btnUpload;
    QTreeWidget* m_treeDevices;
    QAction* m_actionAbout;
    QIcon m_hIcon;

    std::vector<DeviceRecord> m_devices;
};

}  // namespace parbex
