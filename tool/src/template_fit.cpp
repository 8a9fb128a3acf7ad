#include "template_fit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

#include "dialog_units.h"

namespace parbex {
namespace {

// QLineEdit's own margins around its text, in pixels.
constexpr int kLineEditHorizontalMargin = 2;
constexpr int kLineEditVerticalMargin = 1;

bool Overlap(int firstA, int lastA, int firstB, int lastB) { return firstA <= lastB && firstB <= lastA; }

}  // namespace

TemplateFit::TemplateFit(const DialogUnits& du, QSize templateSize)
    : m_nGapX(du.X(kGapUnits)),
      m_nGapY(du.Y(kGapUnits)),
      m_nMarginX(du.X(kMarginUnits)),
      m_nMarginY(du.Y(kMarginUnits)),
      m_templateSize(templateSize) {}

void TemplateFit::Add(QWidget* control, QSize needed) {
    const QRect atTemplate = control->geometry();
    m_entries.push_back({control, Kind::Control, atTemplate, QRect(atTemplate.topLeft(), atTemplate.size().expandedTo(needed))});
}

void TemplateFit::Add(QWidget* control) { Add(control, control->sizeHint()); }

void TemplateFit::AddLevelWith(QWidget* label, QWidget* control) {
    const QRect atTemplate = label->geometry();
    QRect placed = atTemplate;
    placed.setHeight(std::max(atTemplate.height(), label->sizeHint().height()));
    m_entries.push_back({label, Kind::Level, atTemplate, placed, control});
}

void TemplateFit::AddFrame(QWidget* frame) {
    const QRect atTemplate = frame->geometry();
    m_entries.push_back({frame, Kind::Frame, atTemplate, atTemplate});
}

const TemplateFit::Entry* TemplateFit::Find(const QWidget* widget) const {
    for (const Entry& entry : m_entries) {
        if (entry.widget == widget) return &entry;
    }
    return nullptr;
}

QRect TemplateFit::FrameRect(const Entry& frame) const {
    QRect placed = frame.atTemplate;
    for (const Entry& held : m_entries) {
        if (&held == &frame || !frame.atTemplate.contains(held.atTemplate)) continue;
        placed.setRight(std::max(placed.right(), held.placed.right() + frame.atTemplate.right() - held.atTemplate.right()));
        placed.setBottom(
            std::max(placed.bottom(), held.placed.bottom() + frame.atTemplate.bottom() - held.atTemplate.bottom()));
    }
    return placed;
}

// In order of the template's tops, so that every control above one is placed before it. A
// control moves at least as far as any it stood below, so that a column keeps its spacing.
void TemplateFit::PushDown() {
    std::vector<Entry*> order;
    for (Entry& entry : m_entries) {
        if (entry.kind == Kind::Control) order.push_back(&entry);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Entry* a, const Entry* b) { return a->atTemplate.top() < b->atTemplate.top(); });
    for (std::size_t i = 0; i < order.size(); ++i) {
        Entry& below = *order[i];
        int top = below.atTemplate.top();
        for (std::size_t j = 0; j < i; ++j) {
            const Entry& above = *order[j];
            if (above.atTemplate.bottom() >= below.atTemplate.top() ||
                !Overlap(above.placed.left(), above.placed.right(), below.placed.left(), below.placed.right())) {
                continue;
            }
            const int gap = std::min(m_nGapY, below.atTemplate.top() - above.atTemplate.bottom() - 1);
            top = std::max({top, below.atTemplate.top() + above.placed.top() - above.atTemplate.top(),
                            above.placed.bottom() + 1 + gap});
        }
        below.placed.moveTop(top);
    }
    for (Entry& entry : m_entries) {
        if (entry.kind != Kind::Level) continue;
        const Entry* control = Find(entry.levelWith);
        if (control != nullptr && control->placed.top() != control->atTemplate.top()) {
            entry.placed.moveTop(control->placed.center().y() - entry.placed.height() / 2);
        }
    }
}

// Likewise from left to right. A frame counts with what it holds: those stand left of whatever
// stands right of the frame.
void TemplateFit::PushRight() {
    std::vector<Entry*> order;
    for (Entry& entry : m_entries) order.push_back(&entry);
    std::stable_sort(order.begin(), order.end(),
                     [](const Entry* a, const Entry* b) { return a->atTemplate.left() < b->atTemplate.left(); });
    for (std::size_t i = 0; i < order.size(); ++i) {
        Entry& right = *order[i];
        if (right.kind != Kind::Control) continue;
        int left = right.atTemplate.left();
        for (std::size_t j = 0; j < i; ++j) {
            const Entry& leftOf = *order[j];
            const QRect placed = leftOf.kind == Kind::Frame ? FrameRect(leftOf) : leftOf.placed;
            if (leftOf.atTemplate.right() >= right.atTemplate.left() ||
                !Overlap(placed.top(), placed.bottom(), right.placed.top(), right.placed.bottom())) {
                continue;
            }
            const int gap = std::min(m_nGapX, right.atTemplate.left() - leftOf.atTemplate.right() - 1);
            left = std::max({left, right.atTemplate.left() + placed.left() - leftOf.atTemplate.left(),
                             placed.right() + 1 + gap});
        }
        right.placed.moveLeft(left);
    }
}

QSize TemplateFit::Place() {
    PushDown();
    PushRight();
    QSize size = m_templateSize;
    for (Entry& entry : m_entries) {
        if (entry.kind == Kind::Frame) entry.placed = FrameRect(entry);
        entry.widget->setGeometry(entry.placed);
        const int marginX = std::min(m_nMarginX, m_templateSize.width() - 1 - entry.atTemplate.right());
        const int marginY = std::min(m_nMarginY, m_templateSize.height() - 1 - entry.atTemplate.bottom());
        size.setWidth(std::max(size.width(), entry.placed.right() + 1 + marginX));
        size.setHeight(std::max(size.height(), entry.placed.bottom() + 1 + marginY));
    }
    return size;
}

QSize LineEditSizeFor(const QLineEdit& edit, const QString& text) {
    const QFontMetrics metrics(edit.font());
    const QMargins margins = edit.textMargins();
    const QSize contents(metrics.horizontalAdvance(text) + 2 * kLineEditHorizontalMargin + margins.left() +
                             margins.right(),
                         metrics.height() + 2 * kLineEditVerticalMargin + margins.top() + margins.bottom());
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    if (edit.isReadOnly()) option.state |= QStyle::State_ReadOnly;
    const QSize needed = edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, &edit);
    return {needed.width() + 1, std::max(needed.height(), edit.sizeHint().height())};
}

}  // namespace parbex
