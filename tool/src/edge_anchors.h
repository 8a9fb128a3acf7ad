// Keeps the controls of a window drawn from a template in place as the window grows: each control
// keeps its distance to the edges it is anchored to. Anchored to both left and right, it grows
// with the window's width; to the right alone, it moves with the right edge; likewise vertically.
#pragma once

#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

namespace parbex {

class EdgeAnchors {
public:
    enum Edge : unsigned { Left = 1, Top = 2, Right = 4, Bottom = 8 };

    // firstSize: the window's size when every control stands where the template puts it.
    explicit EdgeAnchors(QSize firstSize) : m_firstSize(firstSize) {}

    // Records the control where it stands now, at the window's first size.
    void Add(QWidget* control, unsigned edges);

    // Places every control for a window of this size.
    void Place(QSize size) const;

private:
    struct Anchored {
        QWidget* control;
        QRect atFirstSize;
        unsigned edges;
    };

    QSize m_firstSize;
    std::vector<Anchored> m_controls;
};

}  // namespace parbex
