// SPDX-License-Identifier: GPL-3.0-or-later
#include "skyboardview.h"

#include "radarview.h"
#include "setupprompt.h"
#include "widgetaircraftrow.h"
#include "widgettext.h"

#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qreal sectionSpacing = 8;
constexpr qreal rowSpacing = 6;
constexpr qsizetype boardAircraft = 5;

} // namespace

SkyBoardView::SkyBoardView(SkyEntry entry, bool linksEnabled)
    : m_entry(std::move(entry))
    , m_linksEnabled(linksEnabled)
{
}

LinkRegions SkyBoardView::paint(QPainter *painter, const QRectF &rect) const
{
    const ScopePalette palette = m_entry.palette();
    if (m_entry.needsSetup()) {
        SetupPrompt(palette).paint(painter, rect);
        return {};
    }

    const QFont title = WidgetText::font(11, QFont::Bold, 2);
    const QFont status = WidgetText::font(9);
    const QRectF titleBar(rect.topLeft(),
        QSizeF(
            rect.width(), std::max(WidgetText::lineHeight(title), WidgetText::lineHeight(status))));
    WidgetText::drawLine(painter, titleBar, u"SKYVELLE"_s, title, palette.phosphor,
        Qt::AlignLeft | Qt::AlignVCenter);
    WidgetText::drawLine(painter, titleBar,
        u"%1 NM · %2"_s.arg(WidgetText::radiusFigure(m_entry.radiusNM))
            .arg(WidgetText::shortTime(m_entry.date)),
        status, palette.dim(), Qt::AlignRight | Qt::AlignVCenter);

    const qsizetype rows = std::min(m_entry.aircraft.size(), boardAircraft);
    const QFont quiet = WidgetText::font(WidgetText::captionSize);
    const qreal boardHeight = rows > 0
        ? rows * WidgetAircraftRow::height() + (rows - 1) * rowSpacing
        : WidgetText::lineHeight(quiet);
    const QRectF board(rect.left(), rect.bottom() - boardHeight, rect.width(), boardHeight);
    const QRectF scope(rect.left(), titleBar.bottom() + sectionSpacing, rect.width(),
        std::max(0.0, board.top() - sectionSpacing - titleBar.bottom() - sectionSpacing));
    RadarView(m_entry).paint(painter, scope);

    if (rows == 0) {
        WidgetText::drawLine(painter, board, u"Quiet skies"_s, quiet, palette.dim(),
            Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }
    return WidgetAircraftRow::paintStack(
        painter, board, m_entry, boardAircraft, rowSpacing, m_linksEnabled);
}
