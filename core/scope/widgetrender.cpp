// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgetrender.h"

#include "nearestaircraftview.h"
#include "radarwidgetview.h"
#include "skyboardview.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

using namespace Qt::StringLiterals;

namespace WidgetRender {

WidgetFamily family(WidgetLayout layout)
{
    switch (layout) {
    case WidgetLayout::NearestSmall:
    case WidgetLayout::RadarSmall:
        return WidgetFamily::Small;
    case WidgetLayout::RadarMedium:
        return WidgetFamily::Medium;
    case WidgetLayout::SkyBoardLarge:
        return WidgetFamily::Large;
    }
    return WidgetFamily::Small;
}

QSizeF size(WidgetLayout layout)
{
    return frameSize(family(layout));
}

LinkRegions paint(QPainter *painter, WidgetLayout layout, const SkyEntry &entry)
{
    const QRectF frame(QPointF(0, 0), size(layout));
    QPainterPath outline;
    outline.addRoundedRect(frame, cornerRadius, cornerRadius);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(outline, entry.palette().background);
    painter->setClipPath(outline, Qt::IntersectClip);
    const QRectF content = frame.adjusted(padding, padding, -padding, -padding);
    LinkRegions links;
    switch (layout) {
    case WidgetLayout::NearestSmall:
        NearestAircraftView(entry).paint(painter, content);
        break;
    case WidgetLayout::RadarSmall:
    case WidgetLayout::RadarMedium:
        links = RadarWidgetView(entry, family(layout), true).paint(painter, content);
        break;
    case WidgetLayout::SkyBoardLarge:
        links = SkyBoardView(entry, true).paint(painter, content);
        break;
    }
    painter->restore();
    return links;
}

QImage render(WidgetLayout layout, const SkyEntry &entry, qreal scale, LinkRegions *links)
{
    const QSizeF points = size(layout);
    QImage image(int(std::ceil(points.width() * scale)), int(std::ceil(points.height() * scale)),
        QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    LinkRegions painted = paint(&painter, layout, entry);
    painter.end();
    if (links)
        *links = std::move(painted);
    return image;
}

QUrl tapLink(WidgetLayout layout, const SkyEntry &entry)
{
    if (layout == WidgetLayout::NearestSmall)
        return deepLink(entry);
    return QUrl(u"skyvelle://open"_s);
}

} // namespace WidgetRender
