// SPDX-License-Identifier: GPL-3.0-or-later
#include "radaricon.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {

// The geometry in fractions of the icon's side, shared with data/skyvelle.svg so that the
// animated icon and the desktop icon are the same picture.
constexpr double cornerRadius = 0.22;
constexpr double scopeRadius = 0.38;
constexpr double blipBearingDeg = 55.0;
constexpr double blipDistance = 0.62; // of the scope radius
constexpr double blipRadius = 0.035;
constexpr double pingGrowth = 0.12; // how far the ping ring spreads in the half turn it lasts

const QColor phosphor(0x73, 0xFF, 0x99);

QColor phosphorAt(double alpha)
{
    QColor c = phosphor;
    c.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
    return c;
}

QPointF polar(const QPointF &centre, double radius, double bearingDeg)
{
    const double a = bearingDeg * M_PI / 180.0;
    return centre + QPointF(radius * std::sin(a), -radius * std::cos(a));
}

} // namespace

namespace RadarIcon {

double stillPhase()
{
    return blipBearingDeg / 360.0 + 0.08;
}

void paint(QPainter *painter, const QRectF &rect, double phase)
{
    const double side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    phase -= std::floor(phase);
    const QRectF square(rect.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    const QPointF centre = square.center();
    const double r = scopeRadius * side;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setClipRect(rect);
    painter->setPen(Qt::NoPen);

    QLinearGradient tile(square.topLeft(), square.bottomLeft());
    tile.setColorAt(0, QColor(0x12, 0x33, 0x45));
    tile.setColorAt(1, QColor(0x06, 0x12, 0x1B));
    painter->setBrush(tile);
    painter->drawRoundedRect(square, cornerRadius * side, cornerRadius * side);

    QRadialGradient glass(centre, r);
    glass.setColorAt(0, QColor(0x10, 0x46, 0x3C));
    glass.setColorAt(1, QColor(0x0A, 0x24, 0x24));
    painter->setBrush(glass);
    painter->drawEllipse(centre, r, r);

    // Rings at thirds of the range and a crosshair, as on the desktop widget's scope.
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(phosphorAt(0.55), std::max(1.0, 0.016 * side)));
    painter->drawEllipse(centre, r, r);
    painter->setPen(QPen(phosphorAt(0.3), std::max(0.75, 0.01 * side)));
    painter->drawEllipse(centre, r * 2 / 3, r * 2 / 3);
    painter->drawEllipse(centre, r / 3, r / 3);
    painter->drawLine(centre - QPointF(r, 0), centre + QPointF(r, 0));
    painter->drawLine(centre - QPointF(0, r), centre + QPointF(0, r));

    // The sweep: bright on its leading edge and fading over the quarter turn behind it. Qt
    // counts gradient angles anticlockwise from east; the sweep turns clockwise from north.
    const double sweepDeg = phase * 360.0;
    QConicalGradient trail(centre, 90.0 - sweepDeg);
    trail.setColorAt(0, phosphorAt(0.5));
    trail.setColorAt(0.25, phosphorAt(0));
    trail.setColorAt(1, phosphorAt(0));
    painter->setPen(Qt::NoPen);
    painter->setBrush(trail);
    painter->drawEllipse(centre, r, r);
    painter->setPen(QPen(phosphor, std::max(1.0, 0.02 * side), Qt::SolidLine, Qt::RoundCap));
    painter->drawLine(centre, polar(centre, r, sweepDeg));

    // The ping: brightest as the sweep passes the aircraft, a ring spreading for half a turn,
    // and an afterglow that never quite goes out.
    const double since = std::fmod(phase - blipBearingDeg / 360.0 + 1.0, 1.0);
    const QPointF blip = polar(centre, blipDistance * r, blipBearingDeg);
    if (since < 0.5) {
        const double ring = (blipRadius + pingGrowth * since / 0.5) * side;
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(phosphorAt(0.9 * (1 - since / 0.5)), std::max(1.0, 0.014 * side)));
        painter->drawEllipse(blip, ring, ring);
    }
    painter->setPen(Qt::NoPen);
    painter->setBrush(phosphorAt(0.3 + 0.7 * (1 - since)));
    painter->drawEllipse(blip, blipRadius * side, blipRadius * side);

    painter->setBrush(phosphor);
    painter->drawEllipse(centre, 0.022 * side, 0.022 * side);
    painter->restore();
}

QIcon icon()
{
    QIcon painted;
    for (const int size : { 16, 24, 32, 48, 64, 128, 256 }) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(&painter, QRectF(0, 0, size, size), stillPhase());
        painter.end();
        painted.addPixmap(pixmap);
    }
    return QIcon::fromTheme(QStringLiteral("skyvelle"), painted);
}

} // namespace RadarIcon
