// The main window: the device tree of the last discovery and the commands Discover,
// Configure..., Upload File... and Close.
#pragma once

#include <QDialog>
#include <QIcon>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "varl.h"

class QAction;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace parbex {

class LibraryBinding;

class CParbexDlg : public QDialog {
    Q_OBJECT

public:
    // First discovery call: room for 4 records, replies collected for 2000 ms.
    static constexpr std::uint32_t kFirstDiscoveryCapacity = 4;
    static constexpr std::uint32_t kDiscoveryTimeoutMs = 2000;

    explicit CParbexDlg(LibraryBinding& library, QWidget* parent = nullptr);
    ~CParbexDlg() override;

    // The device list: the records of the last discovery. m_nRecords is how many the array
    // holds; m_nDevices is how many units the library counted, which the second discovery call
    // can report above m_nRecords.
    const DeviceRecord* Devices() const { return m_pDevices.get(); }
    std::size_t RecordCount() const { return m_nRecords; }
    std::uint32_t DeviceCount() const { return m_nDevices; }

    void OnDiscover();
    void OnConfigure();
    void OnUploadFile();
    void OnAbout();

protected:
    void OnInitDialog();
    void ClearDeviceTree();
    void FillDeviceTree();
    void UpdateCommandButtons();

    // Esc runs Configure (its button carries the cancel role of the window); closing from the
    // title bar still ends the window without it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidgetItem* SelectedItem() const;
    // The device item that owns item: the first ancestor whose text begins with "S/N"; null when
    // there is none (nothing selected, or a device item itself).
    static QTreeWidgetItem* DeviceItemAbove(QTreeWidgetItem* item);
    DeviceRecord* RecordOf(QTreeWidgetItem* deviceItem);
    void InsertDeviceItem(std::size_t index);
    void AllocateDevices(std::uint32_t count);
    void ReleaseDevices();

    LibraryBinding& m_library;

    QPushButton* m_btnClose;
    QPushButton* m_btnDiscover;
    QPushButton* m_btnConfigure;
    QPushButton* m_btnUpload;
    QTreeWidget* m_treeDevices;
    QAction* m_actionAbout;
    QIcon m_hIcon;

    std::unique_ptr<DeviceRecord[]> m_pDevices;
    std::size_t m_nRecords = 0;
    std::uint32_t m_nDevices = 0;
};

}  // namespace parbex
