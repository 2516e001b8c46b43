// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgetaircraftrow.h"

#include "symbols.h"
#include "widgettext.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace {

constexpr qreal spacing = 5;
// The plane glyph of an 8-point bold symbol.
constexpr qreal glyphSize = 10;
constexpr qreal glyphOutline = 0.08;
constexpr qreal nameSize = 10;
constexpr qreal detailSize = 9;

} // namespace

WidgetAircraftRow::WidgetAircraftRow(Aircraft aircraft, QString unit, ScopePalette palette)
    : m_aircraft(std::move(aircraft))
    , m_unit(std::move(unit))
    , m_palette(std::move(palette))
{
}

qreal WidgetAircraftRow::height()
{
    return std::max(glyphSize, WidgetText::lineHeight(WidgetText::font(nameSize, QFont::Bold)));
}

void WidgetAircraftRow::paint(QPainter *painter, const QRectF &rect) const
{
    const QFont nameFont = WidgetText::font(nameSize, QFont::Bold);
    const QFont detailFont = WidgetText::font(detailSize);
    const QFontMetricsF detailMetrics(detailFont);
    const QColor dim = m_palette.dim();

    Symbols::paintAirplane(painter, QPointF(rect.left() + glyphSize / 2, rect.center().y()),
        glyphSize, m_aircraft.track ? *m_aircraft.track - 90.0 : 0.0,
        blipColor(m_aircraft, m_palette), glyphOutline);

    // The trailing columns keep their natural width; the name takes what is left.
    qreal right = rect.right();
    const QString altitude = m_aircraft.shortAltitude();
    right -= WidgetText::drawLine(painter,
                 QRectF(rect.left(), rect.top(), right - rect.left(), rect.height()), altitude,
                 detailFont, dim, Qt::AlignRight | Qt::AlignVCenter)
        + spacing;
    if (const auto distance = m_aircraft.distanceText(m_unit, true)) {
        const qreal width = detailMetrics.horizontalAdvance(*distance);
        WidgetText::drawLine(painter, QRectF(right - width, rect.top(), width, rect.height()),
            *distance, detailFont, dim, Qt::AlignRight | Qt::AlignVCenter);
        right -= width + spacing;
    }
    const qreal nameLeft = rect.left() + glyphSize + spacing;
    WidgetText::drawLine(painter,
        QRectF(nameLeft, rect.top(), std::max(0.0, right - nameLeft), rect.height()),
        m_aircraft.displayName(), nameFont, m_palette.phosphor, Qt::AlignLeft | Qt::AlignVCenter);
}

LinkRegions WidgetAircraftRow::paintStack(QPainter *painter, const QRectF &rect,
    const SkyEntry &entry, qsizetype count, qreal spacing, bool linksEnabled)
{
    LinkRegions links;
    const ScopePalette palette = entry.palette();
    const qreal rowHeight = height();
    qreal y = rect.top();
    for (qsizetype i = 0; i < std::min(count, entry.aircraft.size()); ++i) {
        const Aircraft &aircraft = entry.aircraft.at(i);
        const QRectF row(rect.left(), y, rect.width(), rowHeight);
        WidgetAircraftRow(aircraft, entry.unit, palette).paint(painter, row);
        if (linksEnabled)
            links.append({ row, aircraftLink(aircraft) });
        y += rowHeight + spacing;
    }
    return links;
}
