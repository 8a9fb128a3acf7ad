#include "parbex_dlg.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

#include "about_dlg.h"
#include "app_icon.h"
#include "device_config_dlg.h"
#include "device_text.h"
#include "dialog_runner.h"
#include "dialog_units.h"
#include "library_binding.h"
#include "message_boxes.h"
#include "tree_lines_style.h"
#include "wait_cursor.h"

namespace parbex {
namespace {

// Device items carry the index of their record in the device list under this role; all other
// items carry 0.
constexpr int kRecordIndexRole = Qt::UserRole;

QPushButton* AddButton(QWidget* parent, const char* text, const char* objectName, const QRect& geometry) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(geometry);
    // Enter presses the focused button (a disabled one never has the focus).
    button->setAutoDefault(true);
    return button;
}

QTreeWidgetItem* AddChild(QTreeWidgetItem* parent, const QString& text) {
    auto* item = new QTreeWidgetItem(parent, QStringList{text});
    item->setData(0, kRecordIndexRole, 0);
    return item;
}

}  // namespace

CParbexDlg::CParbexDlg(LibraryBinding& library, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_library(library),
      m_hIcon(ParbexIcon()) {
    setFont(DialogFont());
    const DialogUnits du(font());

    // Widgets are created in the template's tab order.
    m_btnClose = AddButton(this, "&Close", "closeButton", du.Rect(264, 8, 50, 14));

    m_treeDevices = new QTreeWidget(this);
    m_treeDevices->setObjectName(QStringLiteral("deviceTree"));
    m_treeDevices->setGeometry(du.Rect(8, 24, 160, 155));
    m_treeDevices->setHeaderHidden(true);
    m_treeDevices->setColumnCount(1);
    m_treeDevices->setRootIsDecorated(true);
    m_treeDevices->setSelectionMode(QAbstractItemView::SingleSelection);
    m_treeDevices->setDragEnabled(false);
    m_treeDevices->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_treeDevices->setUniformRowHeights(true);
    auto* linesStyle = new TreeLinesStyle;
    linesStyle->setParent(m_treeDevices);
    m_treeDevices->setStyle(linesStyle);
    // The tree's own sorting would order the children too; device items alone are inserted in
    // order of their text.
    m_treeDevices->setSortingEnabled(false);

    m_btnDiscover = AddButton(this, "&Discover", "discoverButton", du.Rect(176, 24, 52, 14));
    m_btnConfigure = AddButton(this, "&Configure...", "configureButton", du.Rect(176, 48, 52, 14));

    auto* label = new QLabel(QStringLiteral("Devices on the network:"), this);
    label->setGeometry(du.Rect(8, 12, 118, 10));

    auto* frame = new QGroupBox(this);
    frame->setGeometry(du.Rect(4, 4, 240, 180));
    // Behind the controls it frames, so it never takes their clicks.
    frame->lower();

    m_btnUpload = AddButton(this, "&Upload File...", "uploadButton", du.Rect(176, 64, 52, 14));

    // Linux window managers have no system menu to extend: About sits in the window's context
    // menu and on F1.
    m_actionAbout = new QAction(QString::fromLatin1(kAboutItemText), this);
    m_actionAbout->setObjectName(QStringLiteral("aboutAction"));
    m_actionAbout->setShortcut(QKeySequence(Qt::Key_F1));
    m_actionAbout->setShortcutContext(Qt::WindowShortcut);
    addAction(m_actionAbout);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnDiscover, &QPushButton::clicked, this, &CParbexDlg::OnDiscover);
    connect(m_btnConfigure, &QPushButton::clicked, this, &CParbexDlg::OnConfigure);
    connect(m_btnUpload, &QPushButton::clicked, this, &CParbexDlg::OnUploadFile);
    connect(m_treeDevices, &QTreeWidget::itemSelectionChanged, this, &CParbexDlg::UpdateCommandButtons);
    connect(m_actionAbout, &QAction::triggered, this, &CParbexDlg::OnAbout);

    setFixedSize(du.Size(320, 189));
    setWindowTitle(QStringLiteral("Quorrel Config Tool"));
    OnInitDialog();
}

CParbexDlg::~CParbexDlg() = default;

void CParbexDlg::OnInitDialog() {
    setWindowIcon(m_hIcon);
    ReleaseDevices();
    m_nDevices = 0;
    UpdateCommandButtons();
}

void CParbexDlg::OnAbout() {
    CAboutDlg about(this);
    CurrentDialogRunner().RunModal(about);
}

void CParbexDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        OnConfigure();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // A focused command button handles Enter itself; Enter from anywhere else triggers
        // nothing, so it never reaches a disabled command nor closes the window by surprise.
        return;
    }
    QDialog::keyPressEvent(event);
}

void CParbexDlg::ClearDeviceTree() {
    m_treeDevices->clear();
    // Removing the items drops the selection without a selection-change signal.
    UpdateCommandButtons();
    // Painted at once, so the empty tree is on screen before a long library call blocks.
    m_treeDevices->repaint();
}

void CParbexDlg::InsertDeviceItem(std::size_t index) {
    const DeviceRecord& record = m_pDevices[index];
    const QString text = DeviceItemText(record);

    // Ordered by text among the device items; an equal text goes after the ones already there.
    int position = 0;
    const int count = m_treeDevices->topLevelItemCount();
    while (position < count &&
           QString::compare(m_treeDevices->topLevelItem(position)->text(0), text, Qt::CaseInsensitive) <= 0) {
        ++position;
    }
    auto* deviceItem = new QTreeWidgetItem(QStringList{text});
    deviceItem->setData(0, kRecordIndexRole, static_cast<qulonglong>(index));
    m_treeDevices->insertTopLevelItem(position, deviceItem);

    QTreeWidgetItem* networkItem = AddChild(deviceItem, QString::fromLatin1(kNetworkItemText));
    for (const QString& detail : DetailItemTexts(record)) {
        AddChild(networkItem, detail);
    }
}

void CParbexDlg::FillDeviceTree() {
    ClearDeviceTree();
    // Never past the records the array holds, even when the library counted more units.
    const std::size_t shown = std::min<std::size_t>(m_nDevices, m_nRecords);
    for (std::size_t i = 0; i < shown; ++i) {
        InsertDeviceItem(i);
    }
    UpdateCommandButtons();
}

void CParbexDlg::UpdateCommandButtons() {
    const QTreeWidgetItem* selected = SelectedItem();
    if (selected == nullptr) {
        m_btnConfigure->setEnabled(false);
        m_btnUpload->setEnabled(false);
        return;
    }
    const QString text = selected->text(0);
    m_btnConfigure->setEnabled(TextEnablesConfigure(text));
    m_btnUpload->setEnabled(TextEnablesUpload(text));
}

void CParbexDlg::OnDiscover() {
    if (!m_library.LoadProtocolLibrary()) {
        ShowFailure("Could not load VARL.DLL.");
        return;
    }
    ClearDeviceTree();
    ReleaseDevices();
    m_nDevices = 0;

    auto discover = m_library.Resolve<DiscoverFunction>(kDiscoverExport);
    if (discover == nullptr) {
        ShowFailure("Driver interface error.");
        return;
    }

    AllocateDevices(kFirstDiscoveryCapacity);
    m_nDevices = kFirstDiscoveryCapacity;
    {
        WaitCursor waitCursor;
        if (discover(&m_nDevices, m_pDevices.get(), kDiscoveryTimeoutMs) == 0) {
            ShowFailure(m_library.FetchLibraryError());
            ReleaseDevices();
            m_nDevices = 0;
            return;
        }
    }

    if (m_nDevices == 0) {
        ShowInfo("No Quorrel units found.");
        FillDeviceTree();
        return;
    }

    if (m_nDevices > kFirstDiscoveryCapacity) {
        // More units answered than the first array holds: ask again, a second broadcast and a
        // second full time-out, with room for every unit counted.
        AllocateDevices(m_nDevices);
        discover = m_library.Resolve<DiscoverFunction>(kDiscoverExport);
        if (discover == nullptr) {
            ShowFailure("Driver interface error.");
            return;
        }
        if (discover(&m_nDevices, m_pDevices.get(), kDiscoveryTimeoutMs) == 0) {
            ShowFailure(m_library.FetchLibraryError());
            return;
        }
    }
    FillDeviceTree();
}

void CParbexDlg::OnConfigure() {
    QTreeWidgetItem* deviceItem = DeviceItemAbove(SelectedItem());
    DeviceRecord* record = RecordOf(deviceItem);
    if (record == nullptr) {
        return;
    }
    CDeviceConfigDlg dialog(m_library, this);
    dialog.m_pRecord = record;
    if (dialog.DoModal() == QDialog::Accepted) {
        FillDeviceTree();
    }
}

void CParbexDlg::OnUploadFile() {
    // The target is known before the user is asked for a file: without a device item at or
    // above the selection there is nothing to upload to.
    QTreeWidgetItem* selected = SelectedItem();
    QTreeWidgetItem* deviceItem =
        selected != nullptr && IsDeviceItemText(selected->text(0)) ? selected : DeviceItemAbove(selected);
    const DeviceRecord* record = RecordOf(deviceItem);
    if (record == nullptr) {
        return;
    }

    const std::optional<QString> chosen = CurrentDialogRunner().ChooseUploadFile(this);
    if (!chosen.has_value()) {
        ShowInfo("File upload cancelled by user.");
        return;
    }
    // Redrawn at once where the file dialog was, before the upload blocks the window.
    repaint();

    const QString& localPath = *chosen;
    if (localPath.isEmpty()) {
        ShowInfo("No files selected.");
        return;
    }
    // Held whole, in the file system's own encoding: no length limit, nothing cut.
    const QByteArray localPathBytes = QFile::encodeName(localPath);
    const QByteArray remoteNameBytes = QFile::encodeName(QFileInfo(localPath).fileName());

    auto upload = m_library.Resolve<UploadFileFunction>(kUploadFileExport);
    if (upload == nullptr) {
        ShowFailure("Driver interface error.");
        return;
    }
    // The outcome is shown while the wait cursor is still up; it ends with the scope.
    WaitCursor waitCursor;
    if (upload(record->address, localPathBytes.constData(), "", remoteNameBytes.constData(), 0) != 0) {
        ShowInfo("File transfer successful.");
    } else {
        ShowFailure(m_library.FetchLibraryError());
    }
}

QTreeWidgetItem* CParbexDlg::SelectedItem() const {
    const QList<QTreeWidgetItem*> selected = m_treeDevices->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QTreeWidgetItem* CParbexDlg::DeviceItemAbove(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return nullptr;
    }
    QTreeWidgetItem* ancestor = item->parent();
    while (ancestor != nullptr && !IsDeviceItemText(ancestor->text(0))) {
        ancestor = ancestor->parent();
    }
    return ancestor;
}

DeviceRecord* CParbexDlg::RecordOf(QTreeWidgetItem* deviceItem) {
    if (deviceItem == nullptr) {
        return nullptr;
    }
    const qulonglong index = deviceItem->data(0, kRecordIndexRole).toULongLong();
    if (index >= m_nRecords) {
        return nullptr;
    }
    return &m_pDevices[index];
}

void CParbexDlg::AllocateDevices(std::uint32_t count) {
    m_pDevices = std::make_unique<DeviceRecord[]>(count);
    m_nRecords = count;
}

void CParbexDlg::ReleaseDevices() {
    m_pDevices.reset();
    m_nRecords = 0;
}

}  // namespace parbex
