// The Device Configuration dialog: shows one unit's record, lets the user switch DHCP on or off
// and enter static addressing, and on Save writes the choice into its copy of the record and
// sends it.
#pragma once

#include <QDialog>
#include <QString>

#include "addressing.h"
#include "varl.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorrel {
class LibraryExports;
}

namespace parbex {

class DialogUnits;
class Ipv4AddressEdit;
class LibraryCallRunner;

class CDeviceConfigDlg : public QDialog {
    Q_OBJECT

public:
    // The chip-name field holds at most 20 characters.
    static constexpr int kChipNameLimit = 20;

    // The configuration is sent through calls, off the window's thread.
    CDeviceConfigDlg(const DeviceRecord& record, const quorrel::LibraryExports& library, LibraryCallRunner& calls,
                     QWidget* parent = nullptr);

    // Initialises the controls from the record and runs the dialog through the dialog-runner
    // seam. Accepted after Save, whatever the library answered; Rejected after Cancel, Esc or
    // closing from the title bar.
    int DoModal();

    // The record as edited: changed by Save, before the library is called, and kept so whatever
    // the library answers; as given after Cancel.
    const DeviceRecord& Record() const { return m_record; }

    // While the configuration is being sent, the dialog stays: it ends by itself once sent.
    void done(int result) override;

protected:
    void OnInitDialog();
    void LoadFromRecord();
    void UpdateAddressControls();
    void SendConfiguration();
    void OnOK();

private:
    // The labels before the fields, which name them.
    struct FieldLabels {
        QLabel* chipName;
        QLabel* serial;
        QLabel* dhcp;
        QLabel* address;
        QLabel* netMask;
        QLabel* gateway;
    };
    // The constructor's steps.
    FieldLabels CreateControls(const DialogUnits& du);
    void NameFields(const FieldLabels& labels);

    quorrel::DhcpChoice DhcpChoice() const;

    DeviceRecord m_record;
    const quorrel::LibraryExports& m_library;
    LibraryCallRunner& m_calls;

    QPushButton* m_btnSave;
    QPushButton* m_btnCancel;
    QLineEdit* m_editSerial;
    QLineEdit* m_editChipName;
    QRadioButton* m_radioOff;
    QRadioButton* m_radioOn;
    QButtonGroup* m_groupDhcp;
    Ipv4AddressEdit* m_ipAddress;
    Ipv4AddressEdit* m_ipNetMask;
    Ipv4AddressEdit* m_ipGateway;
};

}  // namespace parbex
