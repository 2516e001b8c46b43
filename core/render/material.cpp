// SPDX-License-Identifier: GPL-3.0-or-later
#include "material.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

// How much of the window colour lies over the blurred picture: enough that a black marker on
// a white street map fades to a soft smudge under the card's text.
constexpr double tint = 0.85;
// The blur works on a picture this many times smaller, which is both cheap and wide.
constexpr int shrink = 12;

// A three-pixel box blur across and down, which smooths the blocks the shrinking leaves
// before they are scaled up again.
QImage boxBlurred(const QImage &source)
{
    QImage out(source.size(), QImage::Format_ARGB32_Premultiplied);
    const int w = source.width();
    const int h = source.height();
    const auto sum = [](QRgb a, QRgb b, QRgb c) {
        return qRgba((qRed(a) + qRed(b) + qRed(c)) / 3, (qGreen(a) + qGreen(b) + qGreen(c)) / 3,
            (qBlue(a) + qBlue(b) + qBlue(c)) / 3, (qAlpha(a) + qAlpha(b) + qAlpha(c)) / 3);
    };
    QImage across(source.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        auto *line = reinterpret_cast<QRgb *>(across.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = sum(in[std::max(0, x - 1)], in[x], in[std::min(w - 1, x + 1)]);
    }
    for (int y = 0; y < h; ++y) {
        const auto *above =
            reinterpret_cast<const QRgb *>(across.constScanLine(std::max(0, y - 1)));
        const auto *here = reinterpret_cast<const QRgb *>(across.constScanLine(y));
        const auto *below =
            reinterpret_cast<const QRgb *>(across.constScanLine(std::min(h - 1, y + 1)));
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = sum(above[x], here[x], below[x]);
    }
    return out;
}

} // namespace

namespace Material {

void paint(QPainter *painter, const QPainterPath &shape, const QImage &behind, const QRectF &area,
    const QColor &window)
{
    QColor plate = window;
    plate.setAlpha(255);
    if (behind.isNull() || area.isEmpty()) {
        painter->fillPath(shape, plate);
        return;
    }
    const QSize small(
        (behind.width() + shrink - 1) / shrink, (behind.height() + shrink - 1) / shrink);
    // Two passes come close to a Gaussian, as wide as a few markers.
    const QImage blurred =
        boxBlurred(boxBlurred(behind.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                  .scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    painter->save();
    painter->setClipPath(shape, Qt::IntersectClip);
    // The plate first, so that a picture with holes still ends opaque.
    painter->fillRect(area, plate);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(area, blurred);
    plate.setAlphaF(tint);
    painter->fillRect(area, plate);
    painter->restore();
}

QImage behind(QPainter *painter, const QRectF &area)
{
    QPaintDevice *device = painter->device();
    if (!device || device->devType() != QInternal::Image)
        return {};
    const auto *image = static_cast<const QImage *>(device);
    const QRect pixels =
        painter->deviceTransform().mapRect(area).toAlignedRect().intersected(image->rect());
    if (pixels.isEmpty())
        return {};
    return image->copy(pixels);
}

} // namespace Material
