// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPalette>

// The few named colours the views share (status dot, badges, feed errors), each in a shade
// that reads well on the given palette's light or dark window.
namespace SystemColors {

bool isDark(const QPalette &palette);

QColor red(const QPalette &palette);
QColor orange(const QPalette &palette);
QColor green(const QPalette &palette);
QColor blue(const QPalette &palette);

// The aircraft colours are the same on every background: they fill icon discs whose glyph
// colour follows their own luminance.
QColor emergencyRed();
QColor militaryGreen();

// @p color with its opacity multiplied by @p opacity.
QColor withAlpha(QColor color, double opacity);

// Text in the secondary style: the palette's text colour, dimmed.
QColor secondaryText(const QPalette &palette, QPalette::ColorRole role = QPalette::WindowText);
// Text in the tertiary style (notes, credits): dimmer still.
QColor tertiaryText(const QPalette &palette);

} // namespace SystemColors
