#include "device_config_dlg.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "configuration.h"
#include "dialog_runner.h"
#include "dialog_units.h"
#include "ipv4_address_edit.h"
#include "message_boxes.h"
#include "shown_texts.h"
#include "unit_text.h"
#include "wait_cursor.h"

namespace parbex {
namespace {

// The narrowest margin of the template: no control comes closer to the dialog's edge.
constexpr int kMarginUnits = 4;
// The right-aligned labels end at 51 units, their fields begin at 60.
constexpr int kLabelRightUnits = 51;
constexpr int kFieldLeftUnits = 60;
// The least space kept between a control grown to its text and its neighbour.
constexpr int kGapUnits = 2;

QLabel* AddRightAlignedLabel(QWidget* parent, const char* text, const QRect& geometry) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(geometry);
    return label;
}

// The labels share one right edge. Where the font draws a label wider than the template's slot,
// the labels grow to the left down to the dialog's margin, then the shared edge moves right into
// the space before the fields, so that they stay aligned and none is cut or touches the edge.
void FitRightAlignedLabels(const DialogUnits& du, const std::vector<QLabel*>& labels) {
    int widest = 0;
    for (const QLabel* label : labels) widest = std::max(widest, label->sizeHint().width());
    const int right = std::min(std::max(du.X(kLabelRightUnits), du.X(kMarginUnits) + widest),
                               du.X(kFieldLeftUnits) - du.X(kGapUnits));
    for (QLabel* label : labels) {
        QRect slot = label->geometry();
        slot.setRight(right - 1);
        slot.setLeft(std::max(du.X(kMarginUnits), std::min(slot.left(), right - label->sizeHint().width())));
        label->setGeometry(slot);
    }
}

// A control whose text is wider than the template's slot grows to the right, up to rightLimit.
void GrowToText(QWidget* control, int rightLimit) {
    QRect slot = control->geometry();
    slot.setWidth(std::min(std::max(slot.width(), control->sizeHint().width()), rightLimit - slot.left()));
    control->setGeometry(slot);
}

}  // namespace

CDeviceConfigDlg::CDeviceConfigDlg(const DeviceRecord& record, const quorrel::LibraryExports& library, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags), m_record(record), m_library(library) {
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

    QLabel* chipNameLabel = AddRightAlignedLabel(this, "Chip name:", du.Rect(8, 28, 43, 8));
    QLabel* serialLabel = AddRightAlignedLabel(this, "Serial Number:", du.Rect(4, 12, 47, 10));
    QLabel* dhcpLabel = AddRightAlignedLabel(this, "DHCP:", du.Rect(8, 44, 43, 8));
    QLabel* addressLabel = AddRightAlignedLabel(this, "IP Address:", du.Rect(8, 60, 43, 8));
    QLabel* netMaskLabel = AddRightAlignedLabel(this, "Net mask:", du.Rect(4, 76, 47, 8));
    QLabel* gatewayLabel = AddRightAlignedLabel(this, "Gateway:", du.Rect(8, 92, 43, 8));
    FitRightAlignedLabels(du, {chipNameLabel, serialLabel, dhcpLabel, addressLabel, netMaskLabel, gatewayLabel});

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

    // Exactly Off and On: choosing one clears the other. The group's ids are the core's DHCP
    // choices, and its -1 for no button checked is kDhcpNeither, so DhcpChoice reads it as is.
    m_groupDhcp = new QButtonGroup(this);
    m_groupDhcp->addButton(m_radioOff, quorrel::kDhcpOff);
    m_groupDhcp->addButton(m_radioOn, quorrel::kDhcpOn);

    auto* hexLabel = new QLabel(QStringLiteral("(hex)"), this);
    hexLabel->setGeometry(du.Rect(94, 11, 26, 10));

    GrowToText(m_radioOff, m_radioOn->x() - du.X(kGapUnits));
    GrowToText(m_radioOn, m_btnSave->x() - du.X(kGapUnits));
    GrowToText(hexLabel, m_btnSave->x() - du.X(kGapUnits));

    // Each label names its field for assistive technology; an address field and its boxes take
    // the label's words without the colon.
    serialLabel->setBuddy(m_editSerial);
    chipNameLabel->setBuddy(m_editChipName);
    dhcpLabel->setBuddy(m_radioOff);
    const std::pair<QLabel*, Ipv4AddressEdit*> addressFields[] = {
        {addressLabel, m_ipAddress}, {netMaskLabel, m_ipNetMask}, {gatewayLabel, m_ipGateway}};
    for (const auto& [label, field] : addressFields) {
        label->setBuddy(field);
        field->SetAccessibleLabel(label->text().chopped(1));
    }

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
    m_editSerial->setText(QString::fromLatin1(quorrel::FormatSerial(m_record.serial)));
    m_editChipName->setText(QString::fromLocal8Bit(quorrel::ChipName(m_record)).left(kChipNameLimit));
    // Only 0 and 1 name a button; any other mode shows neither chosen, which an exclusive group
    // allows only while it is not exclusive.
    m_groupDhcp->setExclusive(false);
    m_radioOff->setChecked(m_record.dhcpMode == 0);
    m_radioOn->setChecked(m_record.dhcpMode == 1);
    m_groupDhcp->setExclusive(true);
    m_ipAddress->SetValue(m_record.address);
    m_ipNetMask->SetValue(m_record.netMask);
    m_ipGateway->SetValue(m_record.gateway);
}

void CDeviceConfigDlg::UpdateAddressControls() {
    const bool staticAddressing = DhcpChoice() == quorrel::kDhcpOff;
    m_ipAddress->setEnabled(staticAddressing);
    m_ipNetMask->setEnabled(staticAddressing);
    m_ipGateway->setEnabled(staticAddressing);
}

void CDeviceConfigDlg::OnOK() {
    SendConfiguration();
    accept();
}

void CDeviceConfigDlg::SendConfiguration() {
    m_record = quorrel::ApplyAddressingChoice(
        m_record, {DhcpChoice(), m_ipAddress->Value(), m_ipNetMask->Value(), m_ipGateway->Value()});
    // The outcome is shown while the wait cursor is still up; it ends with the scope.
    std::optional<WaitCursor> waitCursor;
    const std::optional<quorrel::CallFailure> failure =
        quorrel::SendConfiguration(m_library, m_record, [&] { waitCursor.emplace(); });
    if (failure) {
        ShowCallFailure(*failure);
    } else {
        ShowInfo(quorrel::texts::kConfigurationSent);
    }
}

int CDeviceConfigDlg::DhcpChoice() const { return m_groupDhcp->checkedId(); }

}  // namespace parbex
