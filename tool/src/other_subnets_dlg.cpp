#include "other_subnets_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialog_units.h"
#include "message_boxes.h"
#include "target_list_check.h"

namespace parbex {
namespace {

// Room for a few ranges and addresses: a list's field is as wide as this many average characters.
constexpr int kListWidthCharacters = 48;

}  // namespace

COtherSubnetsDlg::COtherSubnetsDlg(const QString& list, const QString& fromEnvironment, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags) {
    auto* explanation = new QLabel(
        QStringLiteral("Units behind a router hear no broadcast. Discover and Save also ask every address "
                       "listed here: addresses, ranges such as 10.80.0.0/24 (a /16 at most) and directed "
                       "broadcast addresses, separated by commas or blanks."),
        this);
    explanation->setWordWrap(true);
    auto* label = new QLabel(QStringLiteral("&Addresses and ranges:"), this);
    m_editList = new QLineEdit(list, this);
    m_editList->setObjectName(QStringLiteral("listEdit"));
    m_editList->setPlaceholderText(QStringLiteral("10.80.0.0/24, 10.81.0.7"));
    m_editList->setMinimumWidth(fontMetrics().averageCharWidth() * kListWidthCharacters);
    label->setBuddy(m_editList);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COtherSubnetsDlg::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(label);
    layout->addWidget(m_editList);
    if (!fromEnvironment.isEmpty()) {
        auto* environment =
            new QLabel(QStringLiteral("Searched as well, from VARL_TARGETS: %1").arg(fromEnvironment), this);
        environment->setObjectName(QStringLiteral("environmentLabel"));
        environment->setWordWrap(true);
        layout->addWidget(environment);
    }
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setWindowTitle(QStringLiteral("Other Subnets"));
}

QString COtherSubnetsDlg::List() const { return m_editList->text().trimmed(); }

void COtherSubnetsDlg::OnOK() {
    const std::string list = List().toStdString();
    const std::optional<quorrel::TargetListRefusal> refusal = quorrel::CheckTargetList(list);
    if (!refusal) {
        accept();
        return;
    }
    ShowFailure(this, refusal->text);
    const qsizetype start = m_editList->text().indexOf(QString::fromStdString(refusal->entry));
    m_editList->setFocus();
    if (start >= 0) m_editList->setSelection(static_cast<int>(start), static_cast<int>(refusal->entry.size()));
}

}  // namespace parbex
