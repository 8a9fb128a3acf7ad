#include "device_config_dlg.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

#include "device_text.h"
#include "dialog_runner.h"
#include "dialog_units.h"
#include "ipv4_address_edit.h"
#include "library_binding.h"
#include "message_boxes.h"
#include "wait_cursor.h"

namespace parbex {
namespace {

// Shown after a successful send: the unit does not answer a set-configuration message.
const char* const kConfigurationSent =
    "The configuration has been sent.\n\nYou may need to use Discover again to conifirm the changes were made.";

// A label right-aligned against its field. Where the font draws the text wider than the slot the
// layout gives it, the label grows to the left, up to the dialog's edge, rather than cutting the
// text.
QLabel* AddRightAlignedLabel(QWidget* parent, const char* text, const QRect& geometry) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QRect slot = geometry;
    const int needed = label->sizeHint().width();
    if (needed > slot.width()) {
        slot.setLeft(std::max(0, slot.right() + 1 - needed));
    }
    label->setGeometry(slot);
    return label;
}

}  // namespace

CDeviceConfigDlg::CDeviceConfigDlg(LibraryBinding& library, QWidget* parent) : QDialog(parent), m_library(library) {
    setFont(DialogFont());
    const DialogUnits du(font());

    // Widgets are created in the template's tab order.
    m_btnSave = new QPushButton(QStringLiteral("&Save"), this);
    m_btnSave->setObjectName(QStringLiteral("saveButton"));
    m_btnSave->setDefault(true);
    m_btnSave->setGeometry(du.Rect(202, 4, 50, 14));

    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_btnCancel->setObjectName(QStringLiteral("cancelButton"));
    m_btnCancel->setGeometry(du.Rect(202, 20, 50, 14));

    AddRightAlignedLabel(this, "Chip name:", du.Rect(8, 28, 43, 8));
    AddRightAlignedLabel(this, "Serial Number:", du.Rect(4, 12, 47, 10));
    AddRightAlignedLabel(this, "DHCP:", du.Rect(8, 44, 43, 8));
    AddRightAlignedLabel(this, "IP Address:", du.Rect(8, 60, 43, 8));
    AddRightAlignedLabel(this, "Net mask:", du.Rect(4, 76, 47, 8));
    AddRightAlignedLabel(this, "Gateway:", du.Rect(8, 92, 43, 8));

    m_editSerial = new QLineEdit(this);
    m_editSerial->setObjectName(QStringLiteral("serialEdit"));
    m_editSerial->setReadOnly(true);
    m_editSerial->setGeometry(du.Rect(60, 10, 32, 12));

    m_editChipName = new QLineEdit(this);
    m_editChipName->setObjectName(QStringLiteral("chipNameEdit"));
    m_editChipName->setReadOnly(true);
    m_editChipName->setMaxLength(kChipNameLimit);
    m_editChipName->setGeometry(du.Rect(60, 26, 84, 12));

    m_ipAddress = new Ipv4AddressEdit(this);
    m_ipAddress->setObjectName(QStringLiteral("ipAddress"));
    m_ipAddress->setGeometry(du.Rect(60, 58, 112, 12));

    m_ipNetMask = new Ipv4AddressEdit(this);
    m_ipNetMask->setObjectName(QStringLiteral("ipNetMask"));
    m_ipNetMask->setGeometry(du.Rect(60, 74, 112, 12));

    m_ipGateway = new Ipv4AddressEdit(this);
    m_ipGateway->setObjectName(QStringLiteral("ipGateway"));
    m_ipGateway->setGeometry(du.Rect(60, 91, 112, 12));

    m_radioOff = new QRadioButton(QStringLiteral("Off"), this);
    m_radioOff->setObjectName(QStringLiteral("dhcpOff"));
    m_radioOff->setGeometry(du.Rect(60, 43, 24, 12));

    m_radioOn = new QRadioButton(QStringLiteral("On"), this);
    m_radioOn->setObjectName(QStringLiteral("dhcpOn"));
    m_radioOn->setGeometry(du.Rect(89, 43, 27, 12));

    // Exactly Off and On: choosing one clears the other; the group's ids are the indices that
    // m_nDhcp holds.
    m_groupDhcp = new QButtonGroup(this);
    m_groupDhcp->addButton(m_radioOff, 0);
    m_groupDhcp->addButton(m_radioOn, 1);

    auto* hexLabel = new QLabel(QStringLiteral("(hex)"), this);
    hexLabel->setGeometry(du.Rect(94, 11, 26, 10));

    connect(m_btnSave, &QPushButton::clicked, this, &CDeviceConfigDlg::OnOK);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_radioOff, &QRadioButton::clicked, this, &CDeviceConfigDlg::UpdateAddressControls);
    connect(m_radioOn, &QRadioButton::clicked, this, &CDeviceConfigDlg::UpdateAddressControls);

    setFixedSize(du.Size(256, 109));
    setWindowTitle(QStringLiteral("Device Configuration"));
}

int CDeviceConfigDlg::DoModal() {
    OnInitDialog();
    return CurrentDialogRunner().RunModal(*this);
}

void CDeviceConfigDlg::OnInitDialog() {
    LoadFromRecord();
    UpdateAddressControls();
}

void CDeviceConfigDlg::LoadFromRecord() {
    m_strSerial = FormatSerial(m_pRecord->serial);
    m_strChipName = ChipNameText(*m_pRecord);
    m_nDhcp = m_pRecord->dhcpMode;
    m_ipAddress->SetValue(m_pRecord->address);
    m_ipNetMask->SetValue(m_pRecord->netMask);
    m_ipGateway->SetValue(m_pRecord->gateway);
    MembersToControls();
}

void CDeviceConfigDlg::UpdateAddressControls() {
    ControlsToMembers();
    const bool staticAddressing = m_nDhcp == 0;
    m_ipAddress->setEnabled(staticAddressing);
    m_ipNetMask->setEnabled(staticAddressing);
    m_ipGateway->setEnabled(staticAddressing);
}

void CDeviceConfigDlg::OnOK() {
    SendConfiguration();
    ControlsToMembers();
    accept();
}

void CDeviceConfigDlg::SendConfiguration() {
    ControlsToMembers();
    // Neither button chosen (-1) stores 255, which the library sends as DHCP.
    m_pRecord->dhcpMode = static_cast<std::uint8_t>(m_nDhcp & 0xFF);
    if (m_nDhcp == 1) {
        m_pRecord->address = 0;
        m_pRecord->netMask = 0;
        m_pRecord->gateway = 0;
    } else {
        m_pRecord->address = m_ipAddress->Value();
        m_pRecord->netMask = m_ipNetMask->Value();
        m_pRecord->gateway = m_ipGateway->Value();
    }

    auto setConfig = m_library.Resolve<SetConfigFunction>(kSetConfigExport);
    if (setConfig == nullptr) {
        ShowFailure("Driver interface error.");
        return;
    }
    WaitCursor waitCursor;
    if (setConfig(m_pRecord->serial, m_pRecord) != 0) {
        ShowInfo(kConfigurationSent);
    } else {
        ShowFailure(m_library.FetchLibraryError());
    }
}

void CDeviceConfigDlg::MembersToControls() {
    m_editSerial->setText(m_strSerial);
    m_editChipName->setText(m_strChipName.left(kChipNameLimit));
    // Only 0 and 1 name a button; any other value shows neither chosen, which an exclusive group
    // allows only while it is not exclusive.
    m_groupDhcp->setExclusive(false);
    m_radioOff->setChecked(m_nDhcp == 0);
    m_radioOn->setChecked(m_nDhcp == 1);
    m_groupDhcp->setExclusive(true);
}

void CDeviceConfigDlg::ControlsToMembers() {
    m_strSerial = m_editSerial->text();
    m_strChipName = m_editChipName->text();
    m_nDhcp = m_groupDhcp->checkedId();
}

}  // namespace parbex
