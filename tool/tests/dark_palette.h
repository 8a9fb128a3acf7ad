// A dark palette as dark desktop themes give Fusion: light text on dark grey, the 3D roles dark
// too. For the tests and the screenshots.
#pragma once

#include <QColor>
#include <QPalette>

#include <utility>

namespace parbex::testing {

inline QPalette DarkPalette() {
    QPalette palette;
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::Window, QColor(53, 53, 53)},      {QPalette::WindowText, Qt::white},
        {QPalette::Base, QColor(42, 42, 42)},        {QPalette::AlternateBase, QColor(66, 66, 66)},
        {QPalette::Text, Qt::white},                 {QPalette::Button, QColor(53, 53, 53)},
        {QPalette::ButtonText, Qt::white},           {QPalette::Light, QColor(80, 80, 80)},
        {QPalette::Midlight, QColor(66, 66, 66)},    {QPalette::Mid, QColor(44, 44, 44)},
        {QPalette::Dark, QColor(35, 35, 35)},        {QPalette::Shadow, QColor(20, 20, 20)},
        {QPalette::Highlight, QColor(42, 130, 218)}, {QPalette::HighlightedText, Qt::white},
        {QPalette::ToolTipBase, QColor(53, 53, 53)}, {QPalette::ToolTipText, Qt::white},
        {QPalette::PlaceholderText, QColor(160, 160, 160)},
    };
    for (const auto& [role, colour] : roles) palette.setColor(role, colour);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    return palette;
}

}  // namespace parbex::testing
