#include "edge_anchors.h"

#include <QWidget>

namespace parbex {

void EdgeAnchors::Add(QWidget* control, unsigned edges) { m_controls.push_back({control, control->geometry(), edges}); }

void EdgeAnchors::Place(QSize size) const {
    const int grownX = size.width() - m_firstSize.width();
    const int grownY = size.height() - m_firstSize.height();
    for (const Anchored& anchored : m_controls) {
        QRect rect = anchored.atFirstSize;
        if (anchored.edges & Right) {
            if (anchored.edges & Left) {
                rect.setRight(rect.right() + grownX);
            } else {
                rect.translate(grownX, 0);
            }
        }
        if (anchored.edges & Bottom) {
            if (anchored.edges & Top) {
                rect.setBottom(rect.bottom() + grownY);
            } else {
                rect.translate(0, grownY);
            }
        }
        anchored.control->setGeometry(rect);
    }
}

}  // namespace parbex
