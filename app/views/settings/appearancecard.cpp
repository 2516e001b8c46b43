// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearancecard.h"

#include "systemcolors.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr QSizeF thumbnail(118, 80);
constexpr double labelHeight = 22;

// A miniature window: a title bar with its three dots and four bars of text, in shades of
// grey (white 1.0 with bars at 0.72, or 0.15 with bars at 0.44).
void paintMiniWindow(QPainter *painter, const QRectF &box, bool dark)
{
    const auto grey = [](double white) { return QColor::fromRgbF(white, white, white); };
    painter->fillRect(box, grey(dark ? 0.15 : 1.0));
    const QColor dots[] = { QColor::fromRgbF(1.0, 0.37, 0.34), QColor::fromRgbF(1.0, 0.75, 0.18),
        QColor::fromRgbF(0.22, 0.78, 0.35) };
    painter->setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        painter->setBrush(dots[i]);
        painter->drawEllipse(QRectF(8 + i * 9, 8, 6, 6));
    }
    painter->setBrush(grey(dark ? 0.44 : 0.72));
    const double lengths[] = { 74, 56, 66, 42 };
    for (int i = 0; i < 4; ++i)
        painter->drawRoundedRect(QRectF(10, 26 + i * 11.5, lengths[i], 5.5), 2.75, 2.75);
}

} // namespace

AppearanceCard::AppearanceCard(Look look, const QString &label, QWidget *parent)
    : QAbstractButton(parent)
    , m_look(look)
{
    setText(label);
    setAccessibleName(label);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize AppearanceCard::sizeHint() const
{
    return QSize(int(thumbnail.width()) + 4, int(thumbnail.height() + labelHeight) + 4);
}

void AppearanceCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(QPointF((width() - thumbnail.width()) / 2.0, 2), thumbnail);
    QPainterPath rounded;
    rounded.addRoundedRect(box, 8, 8);
    painter.save();
    painter.setClipPath(rounded);
    painter.translate(box.topLeft());
    if (m_look == Look::Automatic) {
        paintMiniWindow(&painter, QRectF(0, 0, 118, 80), true);
        painter.setClipRect(QRectF(0, 0, 59, 80), Qt::IntersectClip);
        paintMiniWindow(&painter, QRectF(0, 0, 118, 80), false);
    } else {
        paintMiniWindow(&painter, QRectF(0, 0, 118, 80), m_look == Look::Dark);
    }
    painter.restore();

    const QColor ink = palette().color(QPalette::WindowText);
    const bool chosen = isChecked();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(
        QPen(chosen ? palette().color(QPalette::Highlight) : SystemColors::withAlpha(ink, 0.15),
            chosen ? 2.5 : 1.0));
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    if (hasFocus()) {
        painter.setPen(QPen(
            SystemColors::withAlpha(palette().color(QPalette::Highlight), 0.5), 1.0, Qt::DashLine));
        painter.drawRoundedRect(box.adjusted(-1.5, -1.5, 1.5, 1.5), 9, 9);
    }
    painter.setPen(ink);
    QFont font = painter.font();
    font.setWeight(chosen ? QFont::DemiBold : QFont::Normal);
    painter.setFont(font);
    painter.drawText(QRectF(0, box.bottom() + 2, width(), labelHeight), Qt::AlignCenter, text());
}
