#include "tree_lines_style.h"

#include <QPainter>
#include <QStyleOption>

namespace parbex {
namespace {

// Half the side of the space kept free around an expand button, in pixels.
constexpr int kButtonHalfSide = 4;

// Halfway between the text and the background: fainter than the text, and as plain on a dark
// palette as on a light one. (Dark, the usual colour of such lines, is close to a dark palette's
// background.)
QColor LineColour(const QPalette& palette) {
    const QColor text = palette.color(QPalette::Text);
    const QColor base = palette.color(QPalette::Base);
    return QColor((text.red() + base.red()) / 2, (text.green() + base.green()) / 2, (text.blue() + base.blue()) / 2);
}

}  // namespace

void TreeLinesStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const {
    if (element == PE_IndicatorBranch) {
        // The branch cell of one level of one row: State_Item marks the level of the row's own item
        // (a line across to it), State_Sibling a later sibling below (the line goes on down),
        // State_Children an expand button in the middle.
        const QRect& cell = option->rect;
        const int midX = cell.x() + cell.width() / 2;
        const int midY = cell.y() + cell.height() / 2;
        const int gap = (option->state & State_Children) ? kButtonHalfSide : 0;

        painter->save();
        painter->setPen(QPen(LineColour(option->palette), 1, Qt::DotLine));
        if (option->state & State_Item) {
            painter->drawLine(midX + gap, midY, cell.right(), midY);
            painter->drawLine(midX, cell.top(), midX, midY - gap);
            if (option->state & State_Sibling) {
                painter->drawLine(midX, midY + gap, midX, cell.bottom());
            }
        } else if (option->state & State_Sibling) {
            painter->drawLine(midX, cell.top(), midX, cell.bottom());
        }
        painter->restore();
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

}  // namespace parbex
