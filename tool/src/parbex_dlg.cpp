#include "parbex_dlg.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>
#include <QUrl>

#include <cstdlib>
#include <optional>
#include <string>

#include "about_dlg.h"
#include "app_icon.h"
#include "device_config_dlg.h"
#include "device_tree.h"
#include "device_tree_item.h"
#include "dialog_runner.h"
#include "dialog_units.h"
#include "discovery.h"
#include "edge_anchors.h"
#include "ipv4_text.h"
#include "library_binding.h"
#include "message_boxes.h"
#include "other_subnets_dlg.h"
#include "shown_texts.h"
#include "template_fit.h"
#include "tree_lines_style.h"
#include "unit_text.h"
#include "upload.h"
#include "upload_progress_window.h"
#include "wait_cursor.h"
#include "web_browser.h"

namespace parbex {
namespace {

// The window asks with room for four units first, as it always has: most small sites have no
// more. When more answer it asks again with room for all of them.
constexpr std::uint32_t kFirstDiscoveryCapacity = 4;

// VARL_TARGETS as the program found it in its environment, before the window set it.
const std::optional<std::string>& TargetsAtStart() {
    static const std::optional<std::string> atStart = []() -> std::optional<std::string> {
        const char* value = std::getenv("VARL_TARGETS");
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    }();
    return atStart;
}

// Below "No Quorrel units found.": the commonest reason on a Linux desktop, and where to learn more.
constexpr const char* kNoUnitsFoundDetail =
    "A firewall on this computer may drop the units' replies: \"quorrel doctor\" in a terminal tells.";

QPushButton* AddButton(QWidget* parent, const char* text, const char* objectName, const QRect& geometry) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(geometry);
    // Enter presses the focused button (a disabled one never has the focus).
    button->setAutoDefault(true);
    return button;
}

}  // namespace

CParbexDlg::CParbexDlg(quorrel::LibraryBinding& library, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_library(library),
      m_hIcon(ParbexIcon()) {
    setFont(DialogFont());
    const DialogUnits du(font());
    QGroupBox* frame = CreateControls(du);
    CreateActions();
    ConnectCommands();
    AnchorToEdges(FitToStyle(du, frame), frame);
    PassOtherSubnetsToLibrary();
    setWindowTitle(QStringLiteral("Quorrel Config Tool"));
    setWindowIcon(m_hIcon);
    UpdateCommandButtons();
}

QGroupBox* CParbexDlg::CreateControls(const DialogUnits& du) {
    // Widgets are created in the template's tab order.
    m_btnClose = AddButton(this, "&Close", "closeButton", du.Rect(264, 8, 50, 14));
    m_btnClose->setToolTip(QStringLiteral("End the program"));
    m_treeDevices = CreateDeviceTree(du.Rect(8, 24, 160, 155));
    m_btnDiscover = AddButton(this, "&Discover", "discoverButton", du.Rect(176, 24, 52, 14));
    m_btnDiscover->setToolTip(QStringLiteral("Find the Quorrel units on the network"));
    // Alt+F: Alt+C belongs to Close.
    m_btnConfigure = AddButton(this, "Con&figure...", "configureButton", du.Rect(176, 48, 52, 14));
    m_btnConfigure->setToolTip(QStringLiteral("Change the selected unit's addressing"));

    auto* label = new QLabel(QStringLiteral("Devices on the network:"), this);
    label->setGeometry(du.Rect(8, 12, 118, 10));

    auto* frame = new QGroupBox(this);
    frame->setGeometry(du.Rect(4, 4, 240, 180));
    // Behind the controls it frames, so it never takes their clicks.
    frame->lower();

    m_btnUpload = AddButton(this, "&Upload File...", "uploadButton", du.Rect(176, 64, 52, 14));
    m_btnUpload->setToolTip(QStringLiteral("Store a file on the selected unit by FTP"));
    return frame;
}

QTreeWidget* CParbexDlg::CreateDeviceTree(const QRect& geometry) {
    auto* tree = new QTreeWidget(this);
    tree->setObjectName(QStringLiteral("deviceTree"));
    tree->setGeometry(geometry);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setRootIsDecorated(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setDragEnabled(false);
    tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    tree->setUniformRowHeights(true);
    auto* linesStyle = new TreeLinesStyle;
    linesStyle->setParent(tree);
    tree->setStyle(linesStyle);
    // The tree's own sorting would order the children too; device items alone are inserted in
    // order of their text.
    tree->setSortingEnabled(false);
    return tree;
}

void CParbexDlg::CreateActions() {
    // Linux window managers have no system menu to extend: About sits in the window's context
    // menu and on F1.
    m_actionAbout = new QAction(QString::fromLatin1(kAboutItemText), this);
    m_actionAbout->setObjectName(QStringLiteral("aboutAction"));
    m_actionAbout->setShortcut(QKeySequence(Qt::Key_F1));
    m_actionAbout->setShortcutContext(Qt::WindowShortcut);
    addAction(m_actionAbout);
    m_actionOtherSubnets = new QAction(QStringLiteral("Other &Subnets..."), this);
    m_actionOtherSubnets->setObjectName(QStringLiteral("otherSubnetsAction"));
    addAction(m_actionOtherSubnets);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // The tree's own context menu acts on the unit of the item it is opened on; Ctrl+C in the
    // tree copies that unit's address too.
    m_actionCopyAddress = new QAction(QStringLiteral("&Copy Address"), this);
    m_actionCopyAddress->setObjectName(QStringLiteral("copyAddressAction"));
    m_actionCopyAddress->setShortcut(QKeySequence::Copy);
    m_actionCopyAddress->setShortcutContext(Qt::WidgetShortcut);
    m_treeDevices->addAction(m_actionCopyAddress);
    m_actionOpenInBrowser = new QAction(QStringLiteral("Open in &Web Browser"), this);
    m_actionOpenInBrowser->setObjectName(QStringLiteral("openInBrowserAction"));
    m_treeDevices->installEventFilter(this);
    m_treeDevices->viewport()->installEventFilter(this);
}

void CParbexDlg::ConnectCommands() {
    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnDiscover, &QPushButton::clicked, this, &CParbexDlg::OnDiscover);
    connect(m_btnConfigure, &QPushButton::clicked, this, &CParbexDlg::OnConfigure);
    connect(m_btnUpload, &QPushButton::clicked, this, &CParbexDlg::OnUploadFile);
    connect(m_treeDevices, &QTreeWidget::itemSelectionChanged, this, &CParbexDlg::UpdateCommandButtons);
    connect(m_actionAbout, &QAction::triggered, this, &CParbexDlg::OnAbout);
    connect(m_actionCopyAddress, &QAction::triggered, this, &CParbexDlg::OnCopyAddress);
    connect(m_actionOpenInBrowser, &QAction::triggered, this, &CParbexDlg::OnOpenInWebBrowser);
    connect(m_actionOtherSubnets, &QAction::triggered, this, &CParbexDlg::OnOtherSubnets);
    connect(&m_calls, &LibraryCallRunner::busyChanged, this, &CParbexDlg::UpdateCommandButtons);
}

QSize CParbexDlg::FitToStyle(const DialogUnits& du, QGroupBox* frame) {
    TemplateFit fit(du, du.Size(320, 189));
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (control == frame) {
            fit.AddFrame(frame);
        } else if (control == m_treeDevices) {
            fit.Add(control, QSize());
        } else {
            fit.Add(control);
        }
    }
    return fit.Place();
}

void CParbexDlg::AnchorToEdges(QSize firstSize, QGroupBox* frame) {
    // At its first size the window shows the template as drawn. It grows, never below that size:
    // the tree and its frame with it, the buttons keeping their distance to the right edge.
    m_anchors = std::make_unique<EdgeAnchors>(firstSize);
    m_anchors->Add(m_btnClose, EdgeAnchors::Top | EdgeAnchors::Right);
    m_anchors->Add(m_treeDevices, EdgeAnchors::Left | EdgeAnchors::Top | EdgeAnchors::Right | EdgeAnchors::Bottom);
    m_anchors->Add(m_btnDiscover, EdgeAnchors::Top | EdgeAnchors::Right);
    m_anchors->Add(m_btnConfigure, EdgeAnchors::Top | EdgeAnchors::Right);
    m_anchors->Add(frame, EdgeAnchors::Left | EdgeAnchors::Top | EdgeAnchors::Right | EdgeAnchors::Bottom);
    m_anchors->Add(m_btnUpload, EdgeAnchors::Top | EdgeAnchors::Right);
    setMinimumSize(firstSize);
    resize(firstSize);
    restoreGeometry(QSettings().value(QString::fromLatin1(kGeometryKey)).toByteArray());
}

CParbexDlg::~CParbexDlg() = default;

void CParbexDlg::OnAbout() {
    CAboutDlg about(this);
    CurrentDialogRunner().RunModal(about);
}

void CParbexDlg::done(int result) {
    if (m_calls.Busy()) {
        m_closeAfterCall = result;
        return;
    }
    QSettings().setValue(QString::fromLatin1(kGeometryKey), saveGeometry());
    QDialog::done(result);
}

bool CParbexDlg::CallLibrary(const std::function<void()>& call) {
    // A disabled button gives its focus to the next control, which may be Close: the tree takes it
    // instead, and the button gets it back.
    QPointer<QWidget> focus = focusWidget();
    if (qobject_cast<QPushButton*>(focus) != nullptr && focus != m_btnClose) m_treeDevices->setFocus();
    m_calls.Run(call);
    if (m_closeAfterCall) {
        done(*m_closeAfterCall);
        return false;
    }
    if (focus != nullptr && focus->isEnabled()) focus->setFocus();
    return true;
}

void CParbexDlg::resizeEvent(QResizeEvent* event) {
    if (m_anchors) m_anchors->Place(size());
    QDialog::resizeEvent(event);
}

void CParbexDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Configure is disabled while a call runs, and so is its key.
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
    // Painted at once, so the empty tree is on screen before a long library call begins.
    m_treeDevices->repaint();
}

void CParbexDlg::FillDeviceTree() {
    ClearDeviceTree();
    AddUnitItems(*m_treeDevices, m_devices);
    UpdateCommandButtons();
}

void CParbexDlg::UpdateCommandButtons() {
    // While a call runs every command waits; Close stays, and closes once the call has ended.
    const bool idle = !m_calls.Busy();
    m_btnDiscover->setEnabled(idle);
    m_btnConfigure->setEnabled(idle && SelectedRecordIndex(true) >= 0);
    m_btnUpload->setEnabled(idle && SelectedRecordIndex(false) >= 0);
    // Any item of a unit gives its address.
    m_actionCopyAddress->setEnabled(idle && SelectedRecordIndex(false) >= 0);
    m_actionOpenInBrowser->setEnabled(idle && SelectedRecordIndex(false) >= 0);
    m_actionAbout->setEnabled(idle);
    m_actionOtherSubnets->setEnabled(idle);
}

void CParbexDlg::OnDiscover() {
    if (m_calls.Busy()) return;
    if (!m_library.LoadProtocolLibrary()) {
        ShowFailure(this, quorrel::texts::kCouldNotLoadLibrary);
        return;
    }
    ClearDeviceTree();
    m_devices.clear();

    // The wait cursor covers the first call, and its failure box; the second call, when more
    // units answer than the first array holds, runs without it.
    std::optional<WaitCursor> waitCursor;
    const quorrel::DiscoveryHooks hooks{[&] { m_calls.OnWindowThread([&] { waitCursor.emplace(); }); },
                                        [&] { m_calls.OnWindowThread([&] { waitCursor.reset(); }); }};
    quorrel::Discovery found;
    if (!CallLibrary([&] {
            found = quorrel::DiscoverAllUnits(m_library, kFirstDiscoveryCapacity, quorrel::kDiscoveryTimeoutMs, hooks);
        })) {
        return;
    }
    if (found.failure) {
        ShowCallFailure(this, *found.failure);
        return;
    }
    waitCursor.reset();
    m_devices = std::move(found.units);
    if (m_devices.empty()) {
        ShowInfo(this, quorrel::texts::kNoUnitsFound, kNoUnitsFoundDetail);
    }
    FillDeviceTree();
}

void CParbexDlg::OnConfigure() {
    const int index = SelectedRecordIndex(true);
    if (index < 0 || m_calls.Busy()) {
        return;
    }
    CDeviceConfigDlg dialog(m_devices[static_cast<std::size_t>(index)], m_library, m_calls, this);
    if (dialog.DoModal() == QDialog::Accepted) {
        m_devices[static_cast<std::size_t>(index)] = dialog.Record();
        // Rebuilt for the values entered, and shown as the user left it.
        const TreeView view = SaveTreeView(*m_treeDevices);
        FillDeviceTree();
        RestoreTreeView(*m_treeDevices, view);
    }
}

void CParbexDlg::OnUploadFile() {
    // The target is known before the user is asked for a file: without a unit at or above the
    // selection there is nothing to upload to.
    const int index = SelectedRecordIndex(false);
    if (index < 0 || m_calls.Busy()) {
        return;
    }
    const DeviceRecord unit = m_devices[static_cast<std::size_t>(index)];

    const std::optional<QString> chosen = CurrentDialogRunner().ChooseUploadFile(this);
    if (!chosen.has_value()) {
        ShowInfo(this, quorrel::texts::kUploadCancelled);
        return;
    }
    // Redrawn at once where the file dialog was, before the upload begins.
    repaint();

    const QString& localPath = *chosen;
    if (localPath.isEmpty()) {
        ShowInfo(this, quorrel::texts::kNoFileSelected);
        return;
    }
    // Held whole, in the file system's own encoding: no length limit, nothing cut.
    const std::string localPathBytes = QFile::encodeName(localPath).toStdString();

    // The outcome is shown while the wait cursor is still up; it ends with the scope.
    std::optional<WaitCursor> waitCursor;
    std::optional<quorrel::CallFailure> failure;
    {
        UploadProgressWindow progress(
            localPath, QFileInfo(localPath).size(),
            QString::fromLocal8Bit(quorrel::DeviceItemText(unit) + " at " + quorrel::FormatAddress(unit.address)),
            this);
        progress.Start();
        if (!CallLibrary([&] {
                failure = quorrel::UploadFile(m_library, unit.address, localPathBytes,
                                              quorrel::DefaultRemoteName(localPathBytes),
                                              [&] { m_calls.OnWindowThread([&] { waitCursor.emplace(); }); });
            })) {
            return;
        }
    }
    if (failure) {
        ShowCallFailure(this, *failure);
    } else {
        ShowInfo(this, quorrel::texts::kTransferSuccessful);
    }
}

void CParbexDlg::ShowTreeMenu(QTreeWidgetItem* item, const QPoint& globalPosition) {
    QMenu menu(this);
    if (item != nullptr) {
        m_treeDevices->setCurrentItem(item);
        menu.addAction(m_actionCopyAddress);
        menu.addAction(m_actionOpenInBrowser);
        menu.addSeparator();
        menu.addAction(m_actionOtherSubnets);
    } else {
        menu.addActions(actions());
    }
    menu.exec(globalPosition);
}

bool CParbexDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ContextMenu) {
        const auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        QWidget* viewport = m_treeDevices->viewport();
        // The mouse asks on the viewport, at the item under the pointer; the keyboard (the Menu
        // key) asks on the tree itself, for its current item.
        if (watched == viewport && menuEvent->reason() == QContextMenuEvent::Mouse) {
            ShowTreeMenu(m_treeDevices->itemAt(menuEvent->pos()), menuEvent->globalPos());
            return true;
        }
        if (watched == m_treeDevices && menuEvent->reason() == QContextMenuEvent::Keyboard) {
            QTreeWidgetItem* current = m_treeDevices->currentItem();
            const QRect place = current != nullptr ? m_treeDevices->visualItemRect(current) : QRect();
            ShowTreeMenu(current, viewport->mapToGlobal(place.center()));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CParbexDlg::OnCopyAddress() {
    const int index = SelectedRecordIndex(false);
    if (index < 0) {
        return;
    }
    const std::string address = quorrel::FormatAddress(m_devices[static_cast<std::size_t>(index)].address);
    QApplication::clipboard()->setText(QString::fromLatin1(address));
}

void CParbexDlg::OnOpenInWebBrowser() {
    const int index = SelectedRecordIndex(false);
    if (index < 0) {
        return;
    }
    const std::string url = quorrel::WebAddress(m_devices[static_cast<std::size_t>(index)]);
    if (!CurrentWebBrowser().Open(QUrl(QString::fromLatin1(url)))) {
        ShowFailure(this, "Could not open " + url + " in a web browser.");
    }
}

void CParbexDlg::OnOtherSubnets() {
    if (m_calls.Busy()) return;
    QSettings settings;
    COtherSubnetsDlg dialog(settings.value(QString::fromLatin1(kOtherSubnetsKey)).toString(),
                            QString::fromStdString(TargetsAtStart().value_or(std::string())), this);
    if (CurrentDialogRunner().RunModal(dialog) != QDialog::Accepted) return;
    settings.setValue(QString::fromLatin1(kOtherSubnetsKey), dialog.List());
    PassOtherSubnetsToLibrary();
}

void CParbexDlg::PassOtherSubnetsToLibrary() {
    const std::string saved = QSettings().value(QString::fromLatin1(kOtherSubnetsKey)).toString().toStdString();
    std::optional<std::string> targets = TargetsAtStart();
    if (!saved.empty()) targets = targets && !targets->empty() ? *targets + "," + saved : saved;
    m_calls.SetLibraryVariable("VARL_TARGETS", targets);
}

QTreeWidgetItem* CParbexDlg::SelectedItem() const {
    const QList<QTreeWidgetItem*> selected = m_treeDevices->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

int CParbexDlg::SelectedRecordIndex(bool forConfigure) const {
    const QTreeWidgetItem* item = SelectedItem();
    if (item == nullptr) {
        return -1;
    }
    const auto kind = static_cast<TreeItemKind>(item->data(0, kItemKindRole).toInt());
    if (!(forConfigure ? KindEnablesConfigure(kind) : KindEnablesUpload(kind))) {
        return -1;
    }
    const qulonglong index = item->data(0, kRecordIndexRole).toULongLong();
    return index < m_devices.size() ? static_cast<int>(index) : -1;
}

}  // namespace parbex
