#include "ipv4_address_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace parbex {
namespace {

// Empty, or a decimal number from 0 to 255 of at most three digits.
const char* const kOctetPattern = "^$|^(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[0-9]{1,2}|0[0-9]{2})$";

}  // namespace

Ipv4AddressEdit::Ipv4AddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);

    auto* validator = new QRegularExpressionValidator(QRegularExpression(QString::fromLatin1(kOctetPattern)), this);
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("octet%1").arg(i));
        box->setFrame(false);
        box->setAlignment(Qt::AlignCenter);
        box->setMaxLength(3);
        box->setValidator(validator);
        box->installEventFilter(this);
        layout->addWidget(box, 1);
        m_boxes[i] = box;
    }
    setFocusProxy(m_boxes[0]);
}

std::uint32_t Ipv4AddressEdit::Value() const {
    std::uint32_t value = 0;
    for (const QLineEdit* box : m_boxes) {
        value = (value << 8) | (box->text().toUInt() & 0xFF);
    }
    return value;
}

void Ipv4AddressEdit::SetValue(std::uint32_t value) {
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        const unsigned octet = (value >> (24 - 8 * i)) & 0xFF;
        m_boxes[i]->setText(QString::number(octet));
    }
}

bool Ipv4AddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (keyEvent->key() == Qt::Key_Period) {
            // A dot moves on to the next box, as when typing an address; in the last box it is
            // swallowed.
            for (std::size_t i = 0; i + 1 < m_boxes.size(); ++i) {
                if (watched == m_boxes[i]) {
                    m_boxes[i + 1]->setFocus(Qt::TabFocusReason);
                    m_boxes[i + 1]->selectAll();
                    break;
                }
            }
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace parbex
