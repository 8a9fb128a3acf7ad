// The main window: the device tree of the last discovery and the commands Discover,
// Configure..., Upload File... and Close. It shows what the core's operations return.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "library_call_runner.h"
#include "varl.h"

class QAction;
class QGroupBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quorrel {
class LibraryBinding;
}

namespace parbex {

class DialogUnits;
class EdgeAnchors;

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
    // The context menu's commands on the unit of the selected item.
    void OnCopyAddress();
    void OnOpenInWebBrowser();
    // Edits the other subnets that Discover and Save search besides the broadcast.
    void OnOtherSubnets();

    // Remembers the window's size and position, then ends it. Asked while a library call runs, it
    // ends the window once the call has ended: a call is never cut, and nothing is shown after it.
    void done(int result) override;

    // Where the window's size and position are remembered between runs (QSettings).
    static constexpr const char* kGeometryKey = "MainWindow/geometry";
    // The other subnets to search, as the user entered them.
    static constexpr const char* kOtherSubnetsKey = "Discovery/otherSubnets";

protected:
    void ClearDeviceTree();
    void FillDeviceTree();
    void UpdateCommandButtons();

    // Esc runs Configure (its button carries the cancel role of the window); closing from the
    // title bar still ends the window without it.
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The constructor's steps. CreateControls returns the frame around the tree and the commands.
    QGroupBox* CreateControls(const DialogUnits& du);
    QTreeWidget* CreateDeviceTree(const QRect& geometry);
    void CreateActions();
    void ConnectCommands();
    // Grows the controls to what the style needs for their texts; returns the window's first size.
    QSize FitToStyle(const DialogUnits& du, QGroupBox* frame);
    void AnchorToEdges(QSize firstSize, QGroupBox* frame);

    // Runs call off the window's thread with the commands disabled. False when the window was
    // closed meanwhile: the command then shows nothing more.
    bool CallLibrary(const std::function<void()>& call);

    // Hands the saved other subnets, with those of VARL_TARGETS at start, to the library for its
    // next call.
    void PassOtherSubnetsToLibrary();

    QTreeWidgetItem* SelectedItem() const;
    // The index of the record of the unit the selected item belongs to, or -1 when nothing is
    // selected or the item's kind does not allow the command.
    int SelectedRecordIndex(bool forConfigure) const;
    // The tree's context menu: the unit's commands on an item, the window's own elsewhere.
    void ShowTreeMenu(QTreeWidgetItem* item, const QPoint& globalPosition);

    quorrel::LibraryBinding& m_library;
    LibraryCallRunner m_calls;
    // The result a close asked for while a call ran.
    std::optional<int> m_closeAfterCall;

    QPushButton* m_btnClose;
    QPushButton* m_btnDiscover;
    QPushButton* m_btnConfigure;
    QPushButton* m_btnUpload;
    QTreeWidget* m_treeDevices;
    QAction* m_actionAbout;
    QAction* m_actionCopyAddress;
    QAction* m_actionOpenInBrowser;
    QAction* m_actionOtherSubnets;
    std::unique_ptr<EdgeAnchors> m_anchors;
    QIcon m_hIcon;

    std::vector<DeviceRecord> m_devices;
};

}  // namespace parbex
