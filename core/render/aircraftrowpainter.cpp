// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftrowpainter.h"

#include "aircraftcolors.h"
#include "hexcolor.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr qreal insetX = 8; // the list's own inset left and right of each row
constexpr qreal insetY = 2; // the list's own inset above and below each row
constexpr qreal paddingY = 2;
constexpr qreal iconSlot = 24;
constexpr qreal iconSide = 20;
constexpr qreal glyphSide = 13;
constexpr qreal columnGap = 8;
constexpr qreal badgeGap = 5;
constexpr qreal lineGap = 1;

// The type and the registration of the secondary line; either may be empty.
std::pair<QString, QString> secondaryParts(const Aircraft &aircraft)
{
    QString type;
    if (const auto name = aircraft.typeName(); name && !name->isEmpty())
        type = *name;
    else if (aircraft.typeCode)
        type = *aircraft.typeCode;
    QString registration;
    if (aircraft.registration && *aircraft.registration != aircraft.displayName())
        registration = *aircraft.registration;
    return { type, registration };
}

const QString separator = QStringLiteral(" · ");

} // namespace

void AircraftRowPainter::setStyle(const AircraftRowStyle &style)
{
    m_style = style;
}

qreal AircraftRowPainter::clampedScale() const
{
    return TextStyle::clampedScale(m_style.textScale);
}

qreal AircraftRowPainter::namePointSize() const
{
    return 13.0 * clampedScale();
}

qreal AircraftRowPainter::badgePointSize() const
{
    return 9.0 * clampedScale();
}

const AircraftRowPainter::Fonts &AircraftRowPainter::fonts(const QFont &baseFont) const
{
    const qreal scale = clampedScale();
    if (m_fonts && m_fontsScale == scale && m_fontsBase == baseFont)
        return *m_fonts;
    // The default UI fonts have tabular digits already, so altitudes line up without a
    // monospaced family.
    const QFont name = TextStyle::pixelFont(baseFont, 13.0 * scale, QFont::DemiBold);
    const QFont secondary = TextStyle::pixelFont(baseFont, 10.0 * scale);
    const QFont altitude = TextStyle::pixelFont(baseFont, 12.0 * scale);
    const QFont distance = TextStyle::pixelFont(baseFont, 10.0 * scale);
    const QFont badge = TextStyle::pixelFont(baseFont, 9.0 * scale, QFont::Bold);
    m_fonts.emplace(Fonts { name, secondary, altitude, distance, badge, QFontMetricsF(name),
        QFontMetricsF(secondary), QFontMetricsF(altitude), QFontMetricsF(distance),
        QFontMetricsF(badge) });
    m_fontsBase = baseFont;
    m_fontsScale = scale;
    return *m_fonts;
}

int AircraftRowPainter::rowHeight(const QFont &baseFont) const
{
    const Fonts &f = fonts(baseFont);
    const qreal leading = f.nameMetrics.height() + lineGap + f.secondaryMetrics.height();
    const qreal trailing = f.altitudeMetrics.height() + f.distanceMetrics.height();
    const qreal content = std::max({ iconSide, leading, trailing });
    return qCeil(content + 2 * (paddingY + insetY));
}

void AircraftRowPainter::paint(QPainter *painter, const QRectF &rect, const Aircraft &aircraft,
    const QPalette &palette, bool selected, const QFont &baseFont) const
{
    const Fonts &f = fonts(baseFont);
    const QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;
    const QColor primary = palette.color(textRole);
    const QColor secondary = SystemColors::secondaryText(palette, textRole);
    const qreal centerY = rect.center().y();
    // Texts go down at their baselines: the single-line fast path, with no layout pass.
    const auto draw = [painter](const QFont &font, const QFontMetricsF &metrics, qreal x, qreal top,
                          const QString &text) {
        painter->setFont(font);
        painter->drawText(QPointF(x, top + metrics.ascent()), text);
    };

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);

    // 1. Icon, centred in its slot.
    const qreal left = rect.left() + insetX;
    const QRectF disc(left + (iconSlot - iconSide) / 2, centerY - iconSide / 2, iconSide, iconSide);
    paintIcon(painter, disc, aircraft, palette.color(QPalette::Highlight));

    // 4. Trailing column, right-aligned at its natural width.
    const QString altitude = aircraft.altitudeText();
    const auto distance = aircraft.distanceText(m_style.distanceUnit, false);
    const qreal altitudeWidth = f.altitudeMetrics.horizontalAdvance(altitude);
    const qreal distanceWidth = distance ? f.distanceMetrics.horizontalAdvance(*distance) : 0.0;
    const qreal trailingWidth = std::max(altitudeWidth, distanceWidth);
    const qreal right = rect.right() + 1 - insetX;
    const qreal trailingHeight =
        f.altitudeMetrics.height() + (distance ? f.distanceMetrics.height() : 0.0);
    const qreal trailingTop = centerY - trailingHeight / 2;
    painter->setPen(primary);
    draw(f.altitude, f.altitudeMetrics, right - altitudeWidth, trailingTop, altitude);
    if (distance) {
        painter->setPen(secondary);
        draw(f.distance, f.distanceMetrics, right - distanceWidth,
            trailingTop + f.altitudeMetrics.height(), *distance);
    }

    // 2. Leading column in what is left between the icon and the trailing column.
    const qreal leadingLeft = left + iconSlot + columnGap;
    const qreal leadingWidth = std::max(0.0, right - trailingWidth - columnGap - leadingLeft);
    const qreal leadingHeight = f.nameMetrics.height() + lineGap + f.secondaryMetrics.height();
    const qreal nameTop = centerY - leadingHeight / 2;

    const auto rowBadge = badge(aircraft, palette);
    const qreal badgeWidth = rowBadge ? f.badgeMetrics.horizontalAdvance(rowBadge->text) + 8 : 0.0;
    const qreal nameRoom = std::max(0.0, leadingWidth - (rowBadge ? badgeWidth + badgeGap : 0.0));
    QString name = aircraft.displayName();
    qreal nameWidth = f.nameMetrics.horizontalAdvance(name);
    if (nameWidth > nameRoom) {
        name = f.nameMetrics.elidedText(name, Qt::ElideRight, nameRoom);
        nameWidth = f.nameMetrics.horizontalAdvance(name);
    }
    painter->setPen(primary);
    draw(f.name, f.nameMetrics, leadingLeft, nameTop, name);

    if (rowBadge) {
        const qreal badgeHeight = f.badgeMetrics.height() + 2;
        const QRectF capsule(leadingLeft + nameWidth + badgeGap,
            nameTop + (f.nameMetrics.height() - badgeHeight) / 2, badgeWidth, badgeHeight);
        // On the selection's highlight a faint red or green would vanish, so the badge turns
        // solid there with the highlighted text on top.
        QColor fill = rowBadge->color;
        fill.setAlphaF(selected ? 0.9f : 0.18f);
        painter->setPen(Qt::NoPen);
        painter->setBrush(fill);
        painter->drawRoundedRect(capsule, badgeHeight / 2, badgeHeight / 2);
        painter->setPen(selected ? primary : rowBadge->color);
        draw(f.badge, f.badgeMetrics, capsule.left() + 4, capsule.top() + 1, rowBadge->text);
    }

    QString line = secondaryLine(aircraft);
    if (f.secondaryMetrics.horizontalAdvance(line) > leadingWidth) {
        // The registration is what tells two aircraft of a type apart, so the type gives way
        // first; only when the registration alone hardly fits is the whole line cut.
        const auto [type, registration] = secondaryParts(aircraft);
        const qreal typeRoom =
            leadingWidth - f.secondaryMetrics.horizontalAdvance(separator + registration);
        if (!type.isEmpty() && !registration.isEmpty()
            && typeRoom >= 3 * f.secondaryMetrics.horizontalAdvance(u"…"_s))
            line = f.secondaryMetrics.elidedText(type, Qt::ElideRight, typeRoom) + separator
                + registration;
        else
            line = f.secondaryMetrics.elidedText(line, Qt::ElideRight, leadingWidth);
    }
    painter->setPen(secondary);
    draw(f.secondary, f.secondaryMetrics, leadingLeft, nameTop + f.nameMetrics.height() + lineGap,
        line);
    painter->restore();
}

void AircraftRowPainter::paintIcon(
    QPainter *painter, const QRectF &disc, const Aircraft &aircraft, const QColor &accent) const
{
    const QColor fill = AircraftColors::fill(
        aircraft, m_style.colorByAltitude, HexColor::color(m_style.planeColorHex).value_or(accent));
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawEllipse(disc);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(ringColor(fill), 1.0));
    painter->drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));

    Symbols::paintAirplane(
        painter, disc.center(), glyphSide, glyphRotation(aircraft), AircraftColors::glyph(fill));
}

QColor AircraftRowPainter::ringColor(const QColor &iconColor)
{
    if (HexColor::isLight(iconColor))
        return QColor::fromRgbF(0, 0, 0, 0.4f);
    return QColor::fromRgbF(1, 1, 1, 0.35f);
}

qreal AircraftRowPainter::glyphRotation(const Aircraft &aircraft)
{
    return aircraft.track ? *aircraft.track - 90.0 : 0.0;
}

std::optional<AircraftRowPainter::Badge> AircraftRowPainter::badge(
    const Aircraft &aircraft, const QPalette &palette)
{
    if (aircraft.isEmergency())
        return Badge { u"EMERG"_s, SystemColors::red(palette) };
    if (aircraft.isMilitary())
        return Badge { u"MIL"_s, SystemColors::green(palette) };
    return std::nullopt;
}

QString AircraftRowPainter::secondaryLine(const Aircraft &aircraft)
{
    const auto [type, registration] = secondaryParts(aircraft);
    if (type.isEmpty() && registration.isEmpty())
        return aircraft.hex.toUpper();
    if (type.isEmpty() || registration.isEmpty())
        return type + registration;
    return type + separator + registration;
}

QString AircraftRowPainter::accessibilityText(
    const Aircraft &aircraft, const QString &distanceUnit, const QLocale &locale)
{
    QStringList parts { aircraft.displayName() };
    if (aircraft.typeCode && !aircraft.typeCode->isEmpty())
        parts << *aircraft.typeCode;
    parts << aircraft.altitudeText(locale);
    if (const auto distance = aircraft.distanceText(distanceUnit, false))
        parts << *distance;
    if (aircraft.isEmergency())
        parts << u"emergency"_s;
    if (aircraft.isMilitary())
        parts << u"military"_s;
    return parts.join(u", "_s);
}
