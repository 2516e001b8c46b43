// SPDX-License-Identifier: GPL-3.0-or-later
#include "radarview.h"

#include "radargeometry.h"
#include "symbols.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr qreal homeDotDiameter = 5;
// The plane glyph of a 7-point bold symbol.
constexpr qreal blipSize = 9;
constexpr qreal blipOutline = 0.08;

} // namespace

RadarView::RadarView(SkyEntry entry, int maxBlips)
    : m_entry(std::move(entry))
    , m_maxBlips(maxBlips)
{
}

QRectF RadarView::scopeRect(const QRectF &area)
{
    const qreal side = std::min(area.width(), area.height());
    QRectF square(0, 0, side, side);
    square.moveCenter(area.center());
    return square;
}

void RadarView::paint(QPainter *painter, const QRectF &area) const
{
    const QRectF scope = scopeRect(area);
    const QPointF centre = scope.center();
    const qreal radius = scope.width() / 2;
    const ScopePalette palette = m_entry.palette();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(palette.faint(), 1));
    for (int i = 1; i <= 3; ++i)
        painter->drawEllipse(centre, radius * i / 3, radius * i / 3);
    painter->setPen(QPen(palette.faint(), 0.5));
    painter->drawLine(centre - QPointF(radius, 0), centre + QPointF(radius, 0));
    painter->drawLine(centre - QPointF(0, radius), centre + QPointF(0, radius));

    painter->setPen(Qt::NoPen);
    painter->setBrush(palette.phosphor);
    painter->drawEllipse(centre, homeDotDiameter / 2, homeDotDiameter / 2);

    const RadarGeometry geometry { m_entry.radiusNM, m_entry.home };
    const qsizetype count = std::min<qsizetype>(m_entry.aircraft.size(), std::max(0, m_maxBlips));
    for (qsizetype i = 0; i < count; ++i) {
        const Aircraft &aircraft = m_entry.aircraft.at(i);
        const auto position = geometry.polar(aircraft);
        if (!position)
            continue;
        // Without a track the plane points away from home.
        const double heading = aircraft.track.value_or(position->bearingDeg);
        Symbols::paintAirplane(painter, RadarGeometry::project(*position, scope), blipSize,
            heading - 90.0, blipColor(aircraft, palette), blipOutline);
    }
    painter->restore();
}
