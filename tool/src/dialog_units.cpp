#include "dialog_units.h"

#include <QApplication>
#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace parbex {
namespace {

constexpr int kSampleLength = 52;

int MultiplyDivideRounded(int value, int multiplier, int divisor) {
    return static_cast<int>(std::lround(static_cast<double>(value) * multiplier / divisor));
}

}  // namespace

QFont DialogFont() { return QApplication::font(); }

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int sampleWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseWidth = std::max(1, MultiplyDivideRounded(sampleWidth, 1, kSampleLength));
    m_nBaseHeight = std::max(1, metrics.height());
}

int DialogUnits::X(int units) const { return MultiplyDivideRounded(units, m_nBaseWidth, 4); }

int DialogUnits::Y(int units) const { return MultiplyDivideRounded(units, m_nBaseHeight, 8); }

// The edges are mapped rather than the width and height, so that controls whose edges meet or
// align in units do so in pixels too, whatever the rounding.
QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return {QPoint(X(x), Y(y)), QPoint(X(x + width) - 1, Y(y + height) - 1)};
}

QSize DialogUnits::Size(int width, int height) const { return {X(width), Y(height)}; }

}  // namespace parbex
