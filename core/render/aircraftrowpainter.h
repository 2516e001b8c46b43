// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPalette>
#include <QString>

#include <optional>

class QPainter;

/// The user's choices that shape an aircraft row, as plain values.
struct AircraftRowStyle {
    double textScale = 1.0; ///< multiplies every font size; kept within 0.5 … 3
    bool colorByAltitude = false;
    QString planeColorHex; ///< the icon colour; the accent when it does not parse
    QString distanceUnit = QStringLiteral("mi");

    friend bool operator==(const AircraftRowStyle &, const AircraftRowStyle &) = default;
};

/// Paints one aircraft of the sidebar list on any QPainter: the coloured plane icon turned to
/// the track, the name with its EMERG or MIL badge, the type and registration, and altitude and
/// distance on the right. Colours follow the palette and the style; the icon is filled by
/// AircraftColors::fill, with the accent standing in for a colour that does not parse.
class AircraftRowPainter {
public:
    struct Badge {
        QString text;
        QColor color;
    };

    void setStyle(const AircraftRowStyle &style);
    const AircraftRowStyle &style() const { return m_style; }

    /// The row for @p aircraft into @p rect, as the list draws it.
    void paint(QPainter *painter, const QRectF &rect, const Aircraft &aircraft,
        const QPalette &palette, bool selected, const QFont &baseFont) const;
    int rowHeight(const QFont &baseFont) const;

    /// Pixel sizes of the name and the badge text at the style's text scale.
    qreal namePointSize() const;
    qreal badgePointSize() const;

    /// Black at 40% on a light icon colour, else white at 35%.
    static QColor ringColor(const QColor &iconColor);
    /// The rotation of the plane glyph, which points east unrotated; 0 without a track.
    static qreal glyphRotation(const Aircraft &aircraft);
    /// EMERG in red or MIL in green, in shades for the palette.
    static std::optional<Badge> badge(const Aircraft &aircraft, const QPalette &palette);
    /// Type and registration joined by " · " (the registration only when it is not already
    /// the name); the upper-case hex when neither is known.
    static QString secondaryLine(const Aircraft &aircraft);
    /// What a screen reader says for the row: name, type code, altitude, distance and the
    /// emergency and military flags, joined by ", ".
    static QString accessibilityText(
        const Aircraft &aircraft, const QString &distanceUnit, const QLocale &locale = QLocale());

private:
    struct Fonts {
        QFont name;
        QFont secondary;
        QFont altitude;
        QFont distance;
        QFont badge;
        QFontMetricsF nameMetrics;
        QFontMetricsF secondaryMetrics;
        QFontMetricsF altitudeMetrics;
        QFontMetricsF distanceMetrics;
        QFontMetricsF badgeMetrics;
    };
    qreal clampedScale() const;
    // The row fonts for the list's font at the current text scale, kept until either changes.
    const Fonts &fonts(const QFont &baseFont) const;
    void paintIcon(QPainter *painter, const QRectF &disc, const Aircraft &aircraft,
        const QColor &accent) const;

    AircraftRowStyle m_style;
    mutable std::optional<Fonts> m_fonts;
    mutable QFont m_fontsBase;
    mutable qreal m_fontsScale = 0.0;
};
