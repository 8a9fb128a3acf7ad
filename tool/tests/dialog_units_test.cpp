#include "dialog_units.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

namespace parbex {
namespace {

TEST(DialogUnits, BaseUnitsComeFromTheAlphabetsAverageWidthAndTheFontHeight) {
    QFont font = DialogFont();
    font.setPixelSize(13);
    const QFontMetrics metrics(font);
    const int sample = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const DialogUnits units(font);
    EXPECT_EQ(units.BaseWidth(), (sample + 26) / 52);
    EXPECT_EQ(units.BaseHeight(), metrics.height());
    // Four horizontal units are one average character, eight vertical units one line.
    EXPECT_EQ(units.X(4), units.BaseWidth());
    EXPECT_EQ(units.Y(8), units.BaseHeight());
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
