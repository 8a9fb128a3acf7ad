#include "ipv4_address_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>
#include <optional>
#include <utility>

#include "ipv4_text.h"
#include "template_fit.h"

namespace parbex {
namespace {

constexpr int kBoxCount = 4;

// Blank, or a decimal number of at most three digits from 0 to 255.
bool IsOctetText(const QString& text) {
    if (text.size() > 3) return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    }
    return text.toUInt() <= 255;
}

std::optional<std::uint32_t> AddressFromText(const QString& text) {
    return quorrel::ParseAddress(text.trimmed().toStdString());
}

// Refuses, as the user types, whatever would not leave a box holding a number up to 255. A whole
// dotted address is let through as well, however it is pasted (keys, the context menu, the middle
// button, a drop), so that the field can spread it over its four boxes.
class OctetValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override {
        if (IsOctetText(input)) return Acceptable;
        return AddressFromText(input).has_value() ? Intermediate : Invalid;
    }
};

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr;
}

}  // namespace

Ipv4AddressEdit::Ipv4AddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);

    auto* validator = new OctetValidator(this);
    for (int i = 0; i < kBoxCount; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("octet%1").arg(i));
        box->setFrame(false);
        box->setAlignment(Qt::AlignCenter);
        box->setValidator(validator);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textEdited, this, [this, i] { OnBoxEdited(i); });
        layout->addWidget(box, 1);
        m_boxes[static_cast<std::size_t>(i)] = box;
    }
    KeepTabStopAt(0);
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

QSize Ipv4AddressEdit::sizeHint() const {
    const QSize box = LineEditSizeFor(*Box(0), QStringLiteral("888"));
    int width = kBoxCount * box.width();
    int height = box.height();
    for (const QLabel* dot : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        width += dot->sizeHint().width();
        height = std::max(height, dot->sizeHint().height());
    }
    const QMargins margins = layout()->contentsMargins();
    return {width + margins.left() + margins.right() + 2 * frameWidth(),
            height + margins.top() + margins.bottom() + 2 * frameWidth()};
}

void Ipv4AddressEdit::SetAccessibleLabel(const QString& label) {
    setAccessibleName(label);
    for (int i = 0; i < kBoxCount; ++i) {
        Box(i)->setAccessibleName(label);
        Box(i)->setAccessibleDescription(QStringLiteral("%1, part %2 of %3").arg(label).arg(i + 1).arg(kBoxCount));
    }
}

int Ipv4AddressEdit::IndexOf(const QObject* box) const {
    for (int i = 0; i < kBoxCount; ++i) {
        if (Box(i) == box) return i;
    }
    return -1;
}

void Ipv4AddressEdit::MoveTo(int index, Cursor cursor) {
    QLineEdit* box = Box(index);
    // Not a Tab focus reason: that would select the whole box whichever cursor was asked for.
    box->setFocus(Qt::OtherFocusReason);
    switch (cursor) {
    case Cursor::Start:
        box->setCursorPosition(0);
        break;
    case Cursor::End:
        box->setCursorPosition(static_cast<int>(box->text().size()));
        break;
    case Cursor::SelectAll:
        box->selectAll();
        break;
    }
}

void Ipv4AddressEdit::KeepTabStopAt(int index) {
    for (int i = 0; i < kBoxCount; ++i) {
        Box(i)->setFocusPolicy(i == index ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

bool Ipv4AddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int index = IndexOf(watched);
    if (index >= 0) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (HandleKey(index, *static_cast<QKeyEvent*>(event))) return true;
            break;
        case QEvent::FocusIn:
            KeepTabStopAt(index);
            break;
        case QEvent::FocusOut:
            // By the time a box loses the focus, the application already names its new owner.
            if (!isAncestorOf(QApplication::focusWidget())) {
                KeepTabStopAt(0);
                m_nEnteredByThirdDigit = -1;
            }
            break;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

bool Ipv4AddressEdit::HandleKey(int index, const QKeyEvent& key) {
    if (IsModifierKey(key.key())) return false;
    const int enteredByThirdDigit = std::exchange(m_nEnteredByThirdDigit, -1);
    const QLineEdit* box = Box(index);

    if (key.matches(QKeySequence::Paste)) {
        // A whole address fills the field from any box; any other text is left to the box, whose
        // validator takes a number and refuses the rest.
        return FillFromAddressText(QApplication::clipboard()->text());
    }
    // The dot as typed, with whatever modifier the keyboard layout needs for it.
    if (key.text() == QLatin1String(".")) {
        if (index + 1 < kBoxCount && index != enteredByThirdDigit && !box->text().isEmpty()) {
            MoveTo(index + 1, Cursor::SelectAll);
        }
        return true;
    }
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;

    const bool atStart = !box->hasSelectedText() && box->cursorPosition() == 0;
    const bool atEnd = !box->hasSelectedText() && box->cursorPosition() == box->text().size();
    switch (key.key()) {
    case Qt::Key_Right:
        if (atEnd && index + 1 < kBoxCount) {
            MoveTo(index + 1, Cursor::Start);
            return true;
        }
        break;
    case Qt::Key_Left:
        if (atStart && index > 0) {
            MoveTo(index - 1, Cursor::End);
            return true;
        }
        break;
    case Qt::Key_Backspace:
        if (box->text().isEmpty() && index > 0) {
            MoveTo(index - 1, Cursor::End);
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

void Ipv4AddressEdit::OnBoxEdited(int index) {
    QLineEdit* box = Box(index);
    const QString text = box->text();
    if (!IsOctetText(text)) {
        // Only a whole address gets past the validator.
        FillFromAddressText(text);
        return;
    }
    if (text.size() == 3 && box->cursorPosition() == 3 && index + 1 < kBoxCount) {
        MoveTo(index + 1, Cursor::SelectAll);
        m_nEnteredByThirdDigit = index + 1;
    }
}

bool Ipv4AddressEdit::FillFromAddressText(const QString& text) {
    const std::optional<std::uint32_t> value = AddressFromText(text);
    if (!value) return false;
    SetValue(*value);
    MoveTo(kBoxCount - 1, Cursor::End);
    return true;
}

}  // namespace parbex
