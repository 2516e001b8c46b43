// SPDX-License-Identifier: GPL-3.0-or-later
#include "setupprompt.h"

#include "symbols.h"
#include "widgettext.h"

#include <QFontMetricsF>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

constexpr qreal spacing = 6;
constexpr int textFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

} // namespace

SetupPrompt::SetupPrompt(ScopePalette palette)
    : m_palette(std::move(palette))
{
}

QString SetupPrompt::text()
{
    return u"Open Skyvelle to set your home location"_s;
}

void SetupPrompt::paint(QPainter *painter, const QRectF &rect) const
{
    const QFont font = WidgetText::font(WidgetText::caption2Size);
    const qreal symbolSide = WidgetText::title3Size;
    const QRectF textBounds =
        QFontMetricsF(font).boundingRect(QRectF(0, 0, rect.width(), 0), textFlags, text());
    const qreal top = rect.center().y() - (symbolSide + spacing + textBounds.height()) / 2;

    Symbols::paint(painter, u"house"_s,
        QRectF(rect.center().x() - symbolSide / 2, top, symbolSide, symbolSide), m_palette.dim());
    painter->save();
    painter->setFont(font);
    painter->setPen(m_palette.dim());
    painter->drawText(
        QRectF(rect.left(), top + symbolSide + spacing, rect.width(), textBounds.height()),
        textFlags, text());
    painter->restore();
}
