// A window's controls where its template puts them, each at least as large as the style in use
// needs for its text. The templates were drawn for one platform's metrics: a style with more
// padding cuts a control's text at the template's size (a serial "1A2B3" shown as "A2B3"). A
// control grows right and down from its template's place; whatever it would then overlap moves
// down or right just as far, and so on, so that controls keep their order and never meet; a
// label stays level with the field it names, and a frame grows around what it frames.
#pragma once

#include <QRect>
#include <QSize>

#include <vector>

class QLineEdit;
class QString;
class QWidget;

namespace parbex {

class DialogUnits;

class TemplateFit {
public:
    // templateSize: the window's size in the template, in pixels at the dialog units.
    TemplateFit(const DialogUnits& du, QSize templateSize);

    // A control standing at its template's place, needing at least needed.
    void Add(QWidget* control, QSize needed);
    // A control whose style's sizeHint is what it needs.
    void Add(QWidget* control);
    // A label kept level with the control it names, its height centred on the control's; its
    // width is the caller's.
    void AddLevelWith(QWidget* label, QWidget* control);
    // A frame around the controls it holds in the template, added before it.
    void AddFrame(QWidget* frame);

    // Places every control; returns the window's size: the template's, or larger where a control
    // would otherwise come closer to the right or bottom edge than the template's margins. A
    // control that pushed another keeps kGapUnits from it, and either keeps kMarginUnits from the
    // edges, unless the template kept less.
    QSize Place();

private:
    enum class Kind { Control, Level, Frame };
    struct Entry {
        QWidget* widget;
        Kind kind;
        QRect atTemplate;
        QRect placed;
        QWidget* levelWith = nullptr;
    };

    void PushDown();
    void PushRight();
    // The frame's place: its template's, grown to keep its margins around what it holds.
    QRect FrameRect(const Entry& frame) const;
    const Entry* Find(const QWidget* widget) const;

    int m_nGapX;
    int m_nGapY;
    int m_nMarginX;
    int m_nMarginY;
    QSize m_templateSize;
    std::vector<Entry> m_entries;
};

// What a line edit needs to show text whole: the text's width and the style's frame and padding
// around it; the height the style asks for. (A line edit's own sizeHint asks for the width of
// seventeen characters, whatever it holds.)
QSize LineEditSizeFor(const QLineEdit& edit, const QString& text);

}  // namespace parbex
