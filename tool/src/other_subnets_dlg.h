// The Other Subnets dialog: the addresses and ranges that Discover and Save also ask by unicast,
// for units behind a router, which no broadcast reaches. A list is taken only once the library
// would take it.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace parbex {

class COtherSubnetsDlg : public QDialog {
    Q_OBJECT

public:
    // list: the saved list; fromEnvironment: what VARL_TARGETS held when the program started,
    // searched as well.
    COtherSubnetsDlg(const QString& list, const QString& fromEnvironment, QWidget* parent);

    // The list as accepted, blanks at its ends removed.
    QString List() const;

private:
    // OK: a list the library refuses is shown in its words, with the entry it stumbled on selected,
    // and the dialog stays.
    void OnOK();

    QLineEdit* m_editList;
};

}  // namespace parbex
