#include "about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "dialog_units.h"
#include "template_fit.h"

namespace parbex {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent, kFixedDialogFlags) {
    setFont(DialogFont());
    const DialogUnits du(font());

    auto* maker = new QLabel(QStringLiteral("Tamberlode"), this);
    maker->setObjectName(QStringLiteral("makerLabel"));
    maker->setGeometry(du.Rect(40, 6, 119, 8));

    auto* version = new QLabel(QStringLiteral("Parbex (ver 1.0)"), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    version->setGeometry(du.Rect(40, 17, 119, 8));

    auto* copyright = new QLabel(QStringLiteral("Copyright (C) 2026 Tamberlode"), this);
    copyright->setObjectName(QStringLiteral("copyrightLabel"));
    copyright->setGeometry(du.Rect(40, 29, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    ok->setGeometry(du.Rect(176, 4, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    TemplateFit fit(du, du.Size(235, 55));
    for (QWidget* control : {static_cast<QWidget*>(maker), static_cast<QWidget*>(version),
                             static_cast<QWidget*>(copyright), static_cast<QWidget*>(ok)}) {
        fit.Add(control);
    }
    setFixedSize(fit.Place());
    setWindowTitle(QStringLiteral("About Parbex"));
}

}  // namespace parbex
