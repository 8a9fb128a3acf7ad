// The Device Configuration dialog: shows one unit's record, lets the user switch DHCP on or off
// and enter static addressing, and on Save writes the choice into the record and sends it.
#pragma once

#include <QDialog>
#include <QString>

#include "varl.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace parbex {

class Ipv4AddressEdit;
class LibraryBinding;

class CDeviceConfigDlg : public QDialog {
    Q_OBJECT

public:
    // The chip-name field holds at most 20 characters.
    static constexpr int kChipNameLimit = 20;

    explicit CDeviceConfigDlg(LibraryBinding& library, QWidget* parent = nullptr);

    // Initialises the controls from m_pRecord, which the caller sets beforehand, and runs the
    // dialog through the dialog-runner seam. Accepted after Save, whatever the library answered;
    // Rejected after Cancel, Esc or closing from the title bar (the record is then untouched).
    int DoModal();

    // The record being edited; it belongs to the main window's device list.
    DeviceRecord* m_pRecord = nullptr;

    // Data members exchanged with the controls.
    QString m_strSerial;
    QString m_strChipName;
    int m_nDhcp = -1;  // 0 Off, 1 On, -1 neither chosen

protected:
    void OnInitDialog();
    void LoadFromRecord();
    void UpdateAddressControls();
    void SendConfiguration();
    void OnOK();

private:
    void MembersToControls();
    void ControlsToMembers();

    LibraryBinding& m_library;

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
