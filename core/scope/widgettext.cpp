// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgettext.h"

#include "textstyle.h"
#include "textutil.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace WidgetText {

namespace {

QFont styled(const QFont &base, double size, QFont::Weight weight, double tracking)
{
    QFont font = TextStyle::pixelFont(base, size, weight);
    if (tracking > 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return font;
}

} // namespace

QString radiusFigure(double radiusNM)
{
    // Whole miles as before, through the one conversion that holds any double.
    return TextUtil::formatNumber(std::trunc(radiusNM));
}

QFont font(double size, QFont::Weight weight, double tracking)
{
    return styled(QGuiApplication::font(), size, weight, tracking);
}

QFont monoFont(double size, QFont::Weight weight, double tracking)
{
    return styled(QFontDatabase::systemFont(QFontDatabase::FixedFont), size, weight, tracking);
}

QString shortTime(const QDateTime &date)
{
    return QLocale().toString(date.time(), QLocale::ShortFormat);
}

qreal lineHeight(const QFont &font)
{
    return QFontMetricsF(font).height();
}

qreal drawLine(QPainter *painter, const QRectF &rect, const QString &text, const QFont &font,
    const QColor &color, Qt::Alignment alignment, double minimumScale)
{
    QFont fitted = font;
    QFontMetricsF metrics(fitted);
    qreal width = metrics.horizontalAdvance(text);
    if (width > rect.width() && minimumScale < 1.0) {
        // Text width grows with the size, so one step lands close to the fit; whole pixel
        // sizes keep the glyphs hinted.
        const int fullSize = font.pixelSize();
        const int smallest = int(std::ceil(fullSize * minimumScale));
        int size = std::max(smallest, int(std::floor(fullSize * rect.width() / width)));
        for (;; --size) {
            fitted.setPixelSize(size);
            metrics = QFontMetricsF(fitted);
            width = metrics.horizontalAdvance(text);
            if (width <= rect.width() || size <= smallest)
                break;
        }
    }
    QString shown = text;
    if (width > rect.width()) {
        shown = metrics.elidedText(text, Qt::ElideRight, rect.width());
        width = metrics.horizontalAdvance(shown);
    }
    painter->save();
    painter->setFont(fitted);
    painter->setPen(color);
    painter->drawText(rect, int(alignment | Qt::TextSingleLine), shown);
    painter->restore();
    return width;
}

} // namespace WidgetText
