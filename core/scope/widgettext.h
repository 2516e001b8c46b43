// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

/// Type for the widget views: sizes in points (logical pixels) and single lines that shrink
/// before they are cut.
namespace WidgetText {

/// Text style sizes of the widget design.
inline constexpr double captionSize = 12;
inline constexpr double caption2Size = 11;
inline constexpr double title3Size = 20;

/// The desktop's font at @p size points, with @p tracking points between letters.
QFont font(double size, QFont::Weight weight = QFont::Normal, double tracking = 0);
/// The desktop's fixed-pitch font, for figures that should not jitter between refreshes.
QFont monoFont(double size, QFont::Weight weight = QFont::Normal, double tracking = 0);

/// The clock time of @p date in the locale's short format, without the date ("10:42 AM").
QString shortTime(const QDateTime &date);

/// The search radius in whole nautical miles, as the scope's caption shows it ("25"); a short
/// figure ("1e+308") for a radius beyond any integer, "—" for one that is not finite.
QString radiusFigure(double radiusNM);

/// Draws @p text on one line inside @p rect, aligned by @p alignment. A text too wide shrinks
/// down to @p minimumScale of its size, then is elided. Answers the width it took.
qreal drawLine(QPainter *painter, const QRectF &rect, const QString &text, const QFont &font,
    const QColor &color, Qt::Alignment alignment, double minimumScale = 1.0);

/// The height of one line of @p font.
qreal lineHeight(const QFont &font);

} // namespace WidgetText
