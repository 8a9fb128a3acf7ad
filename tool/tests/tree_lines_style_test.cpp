// The tree's connecting lines, as painted: they must stand out from the background whatever the
// palette.
#include "tree_lines_style.h"

#include <QApplication>
#include <QImage>
#include <QStyle>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tool_test_support.h"

namespace parbex {
namespace {

// WCAG's relative luminance, from 0 (black) to 1 (white).
double Luminance(QColor colour) {
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double ContrastRatio(QColor a, QColor b) {
    const double lighter = std::max(Luminance(a), Luminance(b));
    const double darker = std::min(Luminance(a), Luminance(b));
    return (lighter + 0.05) / (darker + 0.05);
}

struct PaletteRow {
    const char* name;
    QPalette (*palette)();
};

QPalette StylesOwnPalette() { return QApplication::style()->standardPalette(); }

class TreeLinesStyleTest : public ::testing::TestWithParam<PaletteRow> {};

TEST_P(TreeLinesStyleTest, TheLinesStandOutFromTheBackground) {
    QTreeWidget tree;
    auto* style = new TreeLinesStyle;
    style->setParent(&tree);
    tree.setStyle(style);
    const QPalette palette = GetParam().palette();
    tree.setPalette(palette);
    tree.setHeaderHidden(true);
    tree.resize(300, 200);
    auto* unit = new QTreeWidgetItem(&tree, QStringList{"S/N 1A2B3h"});
    for (const char* detail : {"Chip Name: QX-100", "DHCP: Off", "Address: 10.77.0.10"}) {
        new QTreeWidgetItem(unit, QStringList{detail});
    }
    unit->setExpanded(true);
    tree.show();
    const QImage picture = tree.viewport()->grab().toImage();

    // The details' own branch column: only the lines are drawn there, down the three rows and
    // across to each.
    const QRect details = tree.visualItemRect(unit->child(0)).united(tree.visualItemRect(unit->child(2)));
    const QColor base = palette.color(QPalette::Base);
    int linePixels = 0;
    for (int y = details.top(); y <= details.bottom(); ++y) {
        for (int x = tree.indentation(); x < 2 * tree.indentation(); ++x) {
            if (ContrastRatio(picture.pixelColor(x, y), base) >= 2.0) ++linePixels;
        }
    }
    EXPECT_GE(linePixels, details.height() / 2);
}

INSTANTIATE_TEST_SUITE_P(Palettes, TreeLinesStyleTest,
                         ::testing::Values(PaletteRow{"light", StylesOwnPalette},
                                           PaletteRow{"dark", testing::DarkPalette}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace parbex
