// Dotted connecting lines for a tree view, drawn under the expand buttons of whichever style is in
// use: Qt's usual desktop styles draw the buttons but no lines.
#pragma once

#include <QProxyStyle>

namespace parbex {

class TreeLinesStyle : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

}  // namespace parbex
