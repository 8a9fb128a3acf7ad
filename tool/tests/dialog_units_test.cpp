#include "dialog_units.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

#include <cmath>

namespace parbex {
namespace {

// Four horizontal units are the average width of "A".."Z" and "a".."z", rounded to a pixel; eight
// vertical units the font's height. Far from the origin the rounding is of the product, not of
// the unit.
TEST(DialogUnits, FourUnitsAcrossAreTheAlphabetsAverageWidthAndEightDownTheFontHeight) {
    // Across sizes, so that some averages round up and some down.
    for (int pixels = 8; pixels <= 24; ++pixels) {
        QFont font = DialogFont();
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        const double sample =
            metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        const long average = std::lround(sample / 52);
        const DialogUnits units(font);
        EXPECT_EQ(units.X(4), average) << pixels;
        EXPECT_EQ(units.Y(8), metrics.height()) << pixels;
        EXPECT_EQ(units.X(202), std::lround(202.0 * static_cast<double>(average) / 4)) << pixels;
        EXPECT_EQ(units.Y(109), std::lround(109.0 * metrics.height() / 8)) << pixels;
    }
}

TEST(DialogUnits, RectanglesScaleWithTheFont) {
    QFont small = DialogFont();
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(20);
    const QRect smallRect = DialogUnits(small).Rect(202, 4, 50, 14);
    const QRect largeRect = DialogUnits(large).Rect(202, 4, 50, 14);
    EXPECT_GT(largeRect.width(), smallRect.width());
    EXPECT_GT(largeRect.height(), smallRect.height());
    EXPECT_GT(largeRect.x(), smallRect.x());
}

}  // namespace
}  // namespace parbex
