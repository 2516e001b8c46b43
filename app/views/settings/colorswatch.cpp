// SPDX-License-Identifier: GPL-3.0-or-later
#include "colorswatch.h"

#include "systemcolors.h"

#include <QConicalGradient>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {

constexpr double diameter = 22.0;

} // namespace

ColorSwatch::ColorSwatch(const QColor &color, QWidget *parent)
    : QAbstractButton(parent)
    , m_color(color)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void ColorSwatch::setCurrent(bool current)
{
    if (m_current == current)
        return;
    m_current = current;
    update();
}

QSize ColorSwatch::sizeHint() const
{
    return QSize(int(diameter) + 6, int(diameter) + 6);
}

void ColorSwatch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(
        QPointF(width() - diameter, height() - diameter) / 2.0, QSizeF(diameter, diameter));
    const QColor text = palette().color(QPalette::WindowText);
    if (m_color.isValid()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_color);
        painter.drawEllipse(disc);
    } else {
        QConicalGradient rainbow(disc.center(), 90);
        for (int i = 0; i <= 6; ++i)
            rainbow.setColorAt(i / 6.0, QColor::fromHsvF(i % 6 / 6.0, 0.8, 1.0));
        painter.setPen(QPen(QBrush(rainbow), 4.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(disc.adjusted(2, 2, -2, -2));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(
        QPen(m_current ? text : SystemColors::withAlpha(text, 0.15), m_current ? 2.0 : 1.0));
    painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2.0));
        painter.drawEllipse(disc.adjusted(-2, -2, 2, 2));
    }
}
