// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>

#include <array>
#include <optional>

/// Colours as stored in settings and in the widget file: "#" and six hexadecimal digits.
namespace HexColor {

/// Red, green and blue in 0…1 from text such as "#73FF99", " 73ff99" or "+73FF9".
/// Spaces and tabs around the text are ignored (line breaks are not), one leading "#" is
/// dropped, and exactly six characters must remain; there is no short form and no alpha.
/// Absent when the text does not follow that rule.
std::optional<std::array<double, 3>> components(const QString &hex);

/// The opaque sRGB colour of components(); absent when they are.
std::optional<QColor> color(const QString &hex);

/// "#RRGGBB" in upper case, each sRGB component × 255 rounded half away from zero.
/// Absent for an invalid colour.
std::optional<QString> hexString(const QColor &color);

/// 0.299 R + 0.587 G + 0.114 B on the sRGB components (no linearisation); 0 for an invalid
/// colour.
double luminance(const QColor &color);

/// Whether @p color counts as light (luminance above 0.62) and wants a dark glyph on top.
bool isLight(const QColor &color);

} // namespace HexColor
