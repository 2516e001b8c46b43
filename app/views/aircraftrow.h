// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QString>
#include <QStyledItemDelegate>

#include <optional>

class Preferences;

// Paints one aircraft of the sidebar list: the coloured plane icon turned to the track, the
// name with its EMERG or MIL badge, the type and registration, and altitude and distance on
// the right. Sizes follow the textScale preference; colours follow the palette and the
// aircraft colour preferences.
class AircraftRow : public QStyledItemDelegate
{
    Q_OBJECT
public:
    struct Badge {
        QString text;
        QColor color;
    };

    explicit AircraftRow(Preferences *preferences, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The row for one aircraft into rect, as the list draws it.
    void paintRow(QPainter *painter, const QRectF &rect, const Aircraft &aircraft,
                  const QPalette &palette, bool selected, const QFont &baseFont) const;
    int rowHeight(const QFont &baseFont) const;

    // Point sizes of the name and the badge text at the current textScale.
    qreal namePointSize() const;
    qreal badgePointSize() const;

    // Emergency red, military green, the altitude band when colouring by altitude, else the
    // preferred aircraft colour (the accent when that does not parse).
    static QColor iconColor(const Aircraft &aircraft, bool colorByAltitude,
                            const QString &planeColorHex, const QColor &accent);
    // Black at 85% on a light icon colour (luminance above 0.62), else white.
    static QColor glyphColor(const QColor &iconColor);
    // Black at 40% on a light icon colour, else white at 35%.
    static QColor ringColor(const QColor &iconColor);
    // The rotation of the plane glyph, which points east unrotated; 0 without a track.
    static qreal glyphRotation(const Aircraft &aircraft);
    // EMERG in red or MIL in green, in shades for the palette.
    static std::optional<Badge> badge(const Aircraft &aircraft, const QPalette &palette);
    // Type and registration joined by " · " (the registration only when it is not already
    // the name); the upper-case hex when neither is known.
    static QString secondaryLine(const Aircraft &aircraft);
    // What a screen reader says for the row: name, type code, altitude, distance and the
    // emergency and military flags, joined by ", ".
    static QString accessibilityText(const Aircraft &aircraft, const QString &distanceUnit,
                                     const QLocale &locale = QLocale());

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
    // The row fonts for the list's font at the current text scale, kept until either changes.
    const Fonts &fonts(const QFont &baseFont) const;
    void paintIcon(QPainter *painter, const QRectF &disc, const Aircraft &aircraft,
                   const QColor &accent) const;

    Preferences *m_preferences;
    mutable std::optional<Fonts> m_fonts;
    mutable QFont m_fontsBase;
    mutable qreal m_fontsScale = 0.0;
};
