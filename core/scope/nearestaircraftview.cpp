// SPDX-License-Identifier: GPL-3.0-or-later
#include "nearestaircraftview.h"

#include "setupprompt.h"
#include "symbols.h"
#include "systemcolors.h"
#include "widgettext.h"

#include <QPainter>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qreal quietSpacing = 4;
constexpr qreal lineSpacing = 2;
constexpr qreal headerGap = 6;
// The plane glyph of an 11-point bold symbol.
constexpr qreal glyphSize = 14;
constexpr qreal glyphOutline = 0.08;

} // namespace

NearestAircraftView::NearestAircraftView(SkyEntry entry)
    : m_entry(std::move(entry))
{
}

void NearestAircraftView::paint(QPainter *painter, const QRectF &rect) const
{
    if (m_entry.needsSetup())
        SetupPrompt(m_entry.palette()).paint(painter, rect);
    else if (m_entry.aircraft.isEmpty())
        paintQuiet(painter, rect);
    else
        paintNearest(painter, rect);
}

void NearestAircraftView::paintQuiet(QPainter *painter, const QRectF &rect) const
{
    const QColor dim = m_entry.palette().dim();
    const QFont caption = WidgetText::font(WidgetText::captionSize);
    const QFont footer = WidgetText::font(8);
    const qreal symbolSide = WidgetText::title3Size;
    const qreal captionHeight = WidgetText::lineHeight(caption);
    const qreal height =
        symbolSide + captionHeight + WidgetText::lineHeight(footer) + 2 * quietSpacing;
    qreal y = rect.center().y() - height / 2;

    Symbols::paint(painter, u"airplane.departure"_s,
        QRectF(rect.center().x() - symbolSide / 2, y, symbolSide, symbolSide), dim);
    y += symbolSide + quietSpacing;
    WidgetText::drawLine(painter, QRectF(rect.left(), y, rect.width(), captionHeight),
        u"Quiet skies"_s, caption, dim, Qt::AlignHCenter | Qt::AlignTop);
    y += captionHeight + quietSpacing;
    WidgetText::drawLine(painter, QRectF(rect.left(), y, rect.width(), rect.bottom() - y),
        u"as of "_s + WidgetText::shortTime(m_entry.date), footer, dim,
        Qt::AlignHCenter | Qt::AlignTop);
}

void NearestAircraftView::paintNearest(QPainter *painter, const QRectF &rect) const
{
    const ScopePalette palette = m_entry.palette();
    const Aircraft &nearest = m_entry.aircraft.first();
    const auto line = [&](qreal y, qreal height) {
        return QRectF(rect.left(), y, rect.width(), height);
    };
    const auto leading = Qt::AlignLeft | Qt::AlignVCenter;

    const QFont header = WidgetText::font(9, QFont::DemiBold, 1.5);
    const qreal headerHeight = std::max(WidgetText::lineHeight(header), glyphSize);
    WidgetText::drawLine(
        painter, line(rect.top(), headerHeight), u"NEAREST"_s, header, palette.dim(), leading);
    Symbols::paintAirplane(painter,
        QPointF(rect.right() - glyphSize / 2, rect.top() + headerHeight / 2), glyphSize,
        nearest.track ? *nearest.track - 90.0 : 0.0, blipColor(nearest, palette), glyphOutline);
    qreal y = rect.top() + headerHeight + headerGap;

    const QFont name = WidgetText::font(19, QFont::Bold);
    const qreal nameHeight = WidgetText::lineHeight(name);
    WidgetText::drawLine(
        painter, line(y, nameHeight), nearest.displayName(), name, palette.phosphor, leading, 0.6);
    y += nameHeight + lineSpacing;

    QStringList identity;
    for (const auto &part : { nearest.typeCode, nearest.registration }) {
        if (part && !part->isEmpty())
            identity.append(*part);
    }
    const QFont detail = WidgetText::font(10);
    const qreal detailHeight = WidgetText::lineHeight(detail);
    WidgetText::drawLine(
        painter, line(y, detailHeight), identity.join(u" · "_s), detail, palette.dim(), leading);
    y += detailHeight + lineSpacing;

    if (const auto distance = nearest.distanceText(m_entry.unit, false)) {
        WidgetText::drawLine(painter, line(y, detailHeight),
            *distance + u" · "_s + nearest.altitudeText(), WidgetText::font(10, QFont::DemiBold),
            SystemColors::withAlpha(palette.phosphor, 0.85), leading, 0.7);
    }

    WidgetText::drawLine(painter, rect,
        u"%1 in range · %2"_s.arg(m_entry.aircraft.size()).arg(WidgetText::shortTime(m_entry.date)),
        WidgetText::font(8), palette.dim(), Qt::AlignLeft | Qt::AlignBottom);
}
