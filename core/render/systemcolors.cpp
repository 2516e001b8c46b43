// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemcolors.h"

namespace SystemColors {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness()
        < palette.color(QPalette::WindowText).lightness();
}

QColor red(const QPalette &palette)
{
    return isDark(palette) ? QColor(255, 69, 58) : QColor(215, 40, 30);
}

QColor orange(const QPalette &palette)
{
    return isDark(palette) ? QColor(255, 159, 10) : QColor(245, 140, 0);
}

QColor green(const QPalette &palette)
{
    return isDark(palette) ? QColor(48, 209, 88) : QColor(40, 180, 70);
}

QColor blue(const QPalette &palette)
{
    return isDark(palette) ? QColor(10, 132, 255) : QColor(0, 122, 255);
}

QColor emergencyRed()
{
    return QColor(255, 59, 48);
}

QColor militaryGreen()
{
    return QColor::fromRgbF(0.16f, 0.62f, 0.32f);
}

QColor withAlpha(QColor color, double opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

QColor secondaryText(const QPalette &palette, QPalette::ColorRole role)
{
    return withAlpha(palette.color(role), 0.62);
}

QColor tertiaryText(const QPalette &palette)
{
    return withAlpha(palette.color(QPalette::WindowText), 0.42);
}

} // namespace SystemColors
