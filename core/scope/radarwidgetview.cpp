// SPDX-License-Identifier: GPL-3.0-or-later
#include "radarwidgetview.h"

#include "radarview.h"
#include "setupprompt.h"
#include "widgetaircraftrow.h"
#include "widgettext.h"

#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qreal columnSpacing = 12;
constexpr qreal rowSpacing = 6;
constexpr qsizetype listedAircraft = 3;

} // namespace

RadarWidgetView::RadarWidgetView(SkyEntry entry, WidgetFamily family, bool linksEnabled)
    : m_entry(std::move(entry))
    , m_family(family)
    , m_linksEnabled(linksEnabled)
{
}

LinkRegions RadarWidgetView::paint(QPainter *painter, const QRectF &rect) const
{
    if (m_entry.needsSetup()) {
        SetupPrompt(m_entry.palette()).paint(painter, rect);
        return {};
    }
    if (m_family == WidgetFamily::Medium)
        return paintMedium(painter, rect);
    paintSmall(painter, rect);
    return {};
}

void RadarWidgetView::paintSmall(QPainter *painter, const QRectF &rect) const
{
    const ScopePalette palette = m_entry.palette();
    const QRectF scope = RadarView::scopeRect(rect);
    RadarView(m_entry).paint(painter, scope);

    const QFont small = WidgetText::monoFont(8);
    const auto top = Qt::AlignTop;
    const auto bottom = Qt::AlignBottom;
    WidgetText::drawLine(painter, scope, u"%1 nm"_s.arg(WidgetText::radiusFigure(m_entry.radiusNM)),
        small, palette.dim(), top | Qt::AlignLeft);
    if (m_entry.aircraft.isEmpty())
        WidgetText::drawLine(painter, scope, u"QUIET SKY"_s,
            WidgetText::monoFont(8, QFont::DemiBold, 1.5), palette.dim(), top | Qt::AlignHCenter);
    WidgetText::drawLine(painter, scope, QString::number(m_entry.aircraft.size()),
        WidgetText::monoFont(10, QFont::Bold), palette.phosphor, bottom | Qt::AlignLeft);
    WidgetText::drawLine(painter, scope, WidgetText::shortTime(m_entry.date), small, palette.dim(),
        bottom | Qt::AlignRight);
}

LinkRegions RadarWidgetView::paintMedium(QPainter *painter, const QRectF &rect) const
{
    const ScopePalette palette = m_entry.palette();
    const qreal side = std::min(rect.width(), rect.height());
    const QRectF scope(rect.left(), rect.center().y() - side / 2, side, side);
    RadarView(m_entry).paint(painter, scope);

    const qreal left = scope.right() + columnSpacing;
    const QRectF column(left, rect.top(), std::max(0.0, rect.right() - left), rect.height());
    const QFont header = WidgetText::monoFont(9, QFont::DemiBold, 1);
    WidgetText::drawLine(painter, column, u"%1 AIRCRAFT"_s.arg(m_entry.aircraft.size()), header,
        palette.dim(), Qt::AlignTop | Qt::AlignLeft);
    WidgetText::drawLine(painter, column, u"as of "_s + WidgetText::shortTime(m_entry.date),
        WidgetText::font(8), palette.dim(), Qt::AlignBottom | Qt::AlignLeft);

    const QRectF list = column.adjusted(0, WidgetText::lineHeight(header) + rowSpacing, 0, 0);
    return WidgetAircraftRow::paintStack(
        painter, list, m_entry, listedAircraft, rowSpacing, m_linksEnabled);
}
