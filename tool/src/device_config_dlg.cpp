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

#include "addressing.h"
#include "configuration.h"
#include "dialog_runner.h"
#include "dialog_units.h"
#include "ipv4_address_edit.h"
#include "library_call_runner.h"
#include "message_boxes.h"
#include "shown_texts.h"
#include "template_fit.h"
#include "unit_text.h"
#include "wait_cursor.h"

namespace parbex {
namespace {

// The right-aligned labels end at 51 units, their fields begin at 60.
constexpr int kLabelRightUnits = 51;
constexpr int kFieldLeftUnits = 60;
// The template's size.
constexpr int kWidthUnits = 256;
constexpr int kHeightUnits = 109;

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

// Five of the widest hexadecimal digit.
QString WidestSerial(const QFontMetrics& metrics) {
    QChar widest = QLatin1Char('0');
    for (const QChar digit : QStringLiteral("0123456789ABCDEF")) {
        if (metrics.horizontalAdvance(digit) > metrics.horizontalAdvance(widest)) widest = digit;
    }
    return QString(5, widest);
}

// A control of the template: its object name, by which tests find it, and its place.
template <typename Control, typename... Arguments>
Control* AddControl(QWidget* parent, const char* objectName, const QRect& geometry, Arguments&&... arguments) {
    auto* control = new Control(std::forward<Arguments>(arguments)..., parent);
    control->setObjectName(QString::fromLatin1(objectName));
    control->setGeometry(geometry);
    return control;
}

}  // namespace

CDeviceConfigDlg::CDeviceConfigDlg(const DeviceRecord& record, const quorrel::LibraryExports& library,
                                   LibraryCallRunner& calls, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags), m_record(record), m_library(library), m_calls(calls) {
    setFont(DialogFont());
    const DialogUnits du(font());
    const FieldLabels labels = CreateControls(du);
    NameFields(labels);
    connect(m_btnSave, &QPushButton::clicked, this, &CDeviceConfigDlg::OnOK);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_radioOff, &QRadioButton::clicked, this, &CDeviceConfigDlg::UpdateAddressControls);
    connect(m_radioOn, &QRadioButton::clicked, this, &CDeviceConfigDlg::UpdateAddressControls);
    connect(&m_calls, &LibraryCallRunner::busyChanged, this, [this](bool busy) {
        m_btnSave->setEnabled(!busy);
        m_btnCancel->setEnabled(!busy);
    });
    setWindowTitle(QStringLiteral("Device Configuration"));
}

CDeviceConfigDlg::FieldLabels CDeviceConfigDlg::CreateControls(const DialogUnits& du) {
    // Widgets are created in the template's tab order.
    m_btnSave = AddControl<QPushButton>(this, "saveButton", du.Rect(202, 4, 50, 14), QStringLiteral("&Save"));
    m_btnSave->setDefault(true);
    m_btnSave->setToolTip(QStringLiteral("Send this addressing to the unit"));
    m_btnCancel = AddControl<QPushButton>(this, "cancelButton", du.Rect(202, 20, 50, 14), QStringLiteral("Cancel"));
    m_btnCancel->setToolTip(QStringLiteral("Close without sending anything"));

    FieldLabels labels;
    labels.chipName = AddRightAlignedLabel(this, "Chip name:", du.Rect(8, 28, 43, 8));
    labels.serial = AddRightAlignedLabel(this, "Serial Number:", du.Rect(4, 12, 47, 10));
    labels.dhcp = AddRightAlignedLabel(this, "DHCP:", du.Rect(8, 44, 43, 8));
    labels.address = AddRightAlignedLabel(this, "IP Address:", du.Rect(8, 60, 43, 8));
    labels.netMask = AddRightAlignedLabel(this, "Net mask:", du.Rect(4, 76, 47, 8));
    labels.gateway = AddRightAlignedLabel(this, "Gateway:", du.Rect(8, 92, 43, 8));
    FitRightAlignedLabels(
        du, {labels.chipName, labels.serial, labels.dhcp, labels.address, labels.netMask, labels.gateway});

    m_editSerial = AddControl<QLineEdit>(this, "serialEdit", du.Rect(60, 10, 32, 12));
    m_editChipName = AddControl<QLineEdit>(this, "chipNameEdit", du.Rect(60, 26, 84, 12));
    m_editSerial->setReadOnly(true);
    m_editChipName->setReadOnly(true);
    m_editChipName->setMaxLength(kChipNameLimit);
    m_ipAddress = AddControl<Ipv4AddressEdit>(this, "ipAddress", du.Rect(60, 58, 112, 12));
    m_ipNetMask = AddControl<Ipv4AddressEdit>(this, "ipNetMask", du.Rect(60, 74, 112, 12));
    m_ipGateway = AddControl<Ipv4AddressEdit>(this, "ipGateway", du.Rect(60, 91, 112, 12));
    m_radioOff = AddControl<QRadioButton>(this, "dhcpOff", du.Rect(60, 43, 24, 12), QStringLiteral("Off"));
    m_radioOn = AddControl<QRadioButton>(this, "dhcpOn", du.Rect(89, 43, 27, 12), QStringLiteral("On"));
    // Exactly Off and On: choosing one clears the other. The group's ids are the core's DHCP
    // choices, and its -1 for no button checked is DhcpChoice::Neither, so DhcpChoice reads it as is.
    m_groupDhcp = new QButtonGroup(this);
    m_groupDhcp->addButton(m_radioOff, static_cast<int>(quorrel::DhcpChoice::Off));
    m_groupDhcp->addButton(m_radioOn, static_cast<int>(quorrel::DhcpChoice::On));

    auto* hexLabel = new QLabel(QStringLiteral("(hex)"), this);
    hexLabel->setGeometry(du.Rect(94, 11, 26, 10));

    // A serial has five hexadecimal digits; the chip name is read-only, and scrolls if ever longer.
    TemplateFit fit(du, du.Size(kWidthUnits, kHeightUnits));
    fit.Add(m_btnSave);
    fit.Add(m_btnCancel);
    fit.Add(m_editSerial, LineEditSizeFor(*m_editSerial, WidestSerial(m_editSerial->fontMetrics())));
    fit.Add(m_editChipName, QSize(0, m_editChipName->sizeHint().height()));
    for (QWidget* control : std::initializer_list<QWidget*>{m_ipAddress, m_ipNetMask, m_ipGateway, m_radioOff,
                                                              m_radioOn, hexLabel}) {
        fit.Add(control);
    }
    fit.AddLevelWith(labels.serial, m_editSerial);
    fit.AddLevelWith(labels.chipName, m_editChipName);
    fit.AddLevelWith(labels.dhcp, m_radioOff);
    fit.AddLevelWith(labels.address, m_ipAddress);
    fit.AddLevelWith(labels.netMask, m_ipNetMask);
    fit.AddLevelWith(labels.gateway, m_ipGateway);
    setFixedSize(fit.Place());
    return labels;
}

void CDeviceConfigDlg::NameFields(const FieldLabels& labels) {
    // Each label names its field for assistive technology; an address field and its boxes take
    // the label's words without the colon.
    labels.serial->setBuddy(m_editSerial);
    labels.chipName->setBuddy(m_editChipName);
    labels.dhcp->setBuddy(m_radioOff);
    const std::pair<QLabel*, Ipv4AddressEdit*> addressFields[] = {
        {labels.address, m_ipAddress}, {labels.netMask, m_ipNetMask}, {labels.gateway, m_ipGateway}};
    for (const auto& [label, field] : addressFields) {
        label->setBuddy(field);
        field->SetAccessibleLabel(label->text().chopped(1));
    }
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
    const bool staticAddressing = DhcpChoice() == quorrel::DhcpChoice::Off;
    m_ipAddress->setEnabled(staticAddressing);
    m_ipNetMask->setEnabled(staticAddressing);
    m_ipGateway->setEnabled(staticAddressing);
}

void CDeviceConfigDlg::done(int result) {
    if (m_calls.Busy()) return;
    QDialog::done(result);
}

void CDeviceConfigDlg::OnOK() {
    SendConfiguration();
    accept();
}

void CDeviceConfigDlg::SendConfiguration() {
    m_record = quorrel::RecordWithAddressing(
        m_record, {DhcpChoice(), m_ipAddress->Value(), m_ipNetMask->Value(), m_ipGateway->Value()});
    // The outcome is shown while the wait cursor is still up; it ends with the scope.
    std::optional<WaitCursor> waitCursor;
    std::optional<quorrel::CallFailure> failure;
    m_calls.Run([&] {
        failure = quorrel::SendConfiguration(m_library, m_record,
                                             [&] { m_calls.OnWindowThread([&] { waitCursor.emplace(); }); });
    });
    if (failure) {
        ShowCallFailure(this, *failure);
    } else {
        ShowInfo(this, quorrel::texts::kConfigurationSent);
    }
}

quorrel::DhcpChoice CDeviceConfigDlg::DhcpChoice() const {
    return static_cast<quorrel::DhcpChoice>(m_groupDhcp->checkedId());
}

}  // namespace parbex
