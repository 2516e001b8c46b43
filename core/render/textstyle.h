// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

/// Type sizes: one rule for how far the text-size preference may go and two ways of sizing a
/// font, for the views that follow the user's text scale and those that follow the desktop's.
namespace TextStyle {

/// The user's text scale, kept within 0.5 … 3 so that a hand-edited value can neither shrink
/// text to nothing nor blow it past the window; 1 when it is not a positive number.
double clampedScale(double textScale);

/// @p base at @p pixels logical pixels: sizes designed in points of the design grid, which
/// are logical pixels here, not Qt's typographic points.
QFont pixelFont(const QFont &base, double pixels, QFont::Weight weight = QFont::Normal);

/// @p base scaled by @p factor in points, never below 7 points, so that a view follows the
/// desktop's font size.
QFont relativeFont(const QFont &base, double factor, QFont::Weight weight = QFont::Normal);

} // namespace TextStyle
