// Dialog units: the coordinates of the window templates. One horizontal unit is a quarter of the
// dialog font's average character width, one vertical unit an eighth of its height, so a layout
// scales with the font.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace parbex {

// The frame of the fixed-size dialogs (Device Configuration, About): title bar, system menu and
// close button, never minimise or maximise.
inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// The templates' narrowest margin: no control comes closer to a window's edge.
inline constexpr int kMarginUnits = 4;
// The least space kept between a control grown to its text and its neighbour.
inline constexpr int kGapUnits = 2;

// The dialog font: Qt's default application font, which on a desktop follows the platform's UI
// font. The templates were drawn for an 8-point font; the platform's default UI font is the
// nearest equivalent and keeps the dialogs legible at the user's chosen size.
QFont DialogFont();

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

private:
    // Average width of "A".."Z" and "a".."z" (the advance of all 52, divided by 52 and rounded)
    // and the font's height, in pixels.
    int m_nBaseWidth;
    int m_nBaseHeight;
};

}  // namespace parbex
