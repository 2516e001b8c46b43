// SPDX-License-Identifier: GPL-3.0-or-later
#include "mercator.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace Mercator {

namespace {

// Metres per world pixel at the equator at zoom 0.
constexpr double equatorMetresPerPixel = 2.0 * M_PI * earthRadiusMetres / tileSize;

double shorterSide(const QSizeF &viewport)
{
    return std::max(1.0, std::min(viewport.width(), viewport.height()));
}

} // namespace

double worldSize(double zoom)
{
    return tileSize * std::exp2(zoom);
}

QPointF projectUnit(const LatLon &coordinate)
{
    // asinh(tan φ) written as atanh(sin φ), which costs half as much.
    const double sine =
        std::sin(qDegreesToRadians(std::clamp(coordinate.latitude, -maxLatitude, maxLatitude)));
    const double y = 0.5 - std::log((1.0 + sine) / (1.0 - sine)) / (4.0 * M_PI);
    return { (coordinate.longitude + 180.0) / 360.0, y };
}

QPointF project(const LatLon &coordinate, double zoom)
{
    return projectUnit(coordinate) * worldSize(zoom);
}

LatLon unproject(const QPointF &worldPixel, double zoom)
{
    const double size = worldSize(zoom);
    const double longitude = worldPixel.x() / size * 360.0 - 180.0;
    const double n = M_PI * (1.0 - 2.0 * worldPixel.y() / size);
    return { qRadiansToDegrees(std::atan(std::sinh(n))), longitude };
}

double metresPerPixel(double latitude, double zoom)
{
    return equatorMetresPerPixel * std::cos(qDegreesToRadians(latitude)) / std::exp2(zoom);
}

LatLon destination(const LatLon &origin, double bearingDegrees, double metres)
{
    const double angular = metres / earthRadiusMetres;
    const double bearing = qDegreesToRadians(bearingDegrees);
    const double lat1 = qDegreesToRadians(origin.latitude);
    const double lon1 = qDegreesToRadians(origin.longitude);
    const double lat2 = std::asin(std::sin(lat1) * std::cos(angular)
        + std::cos(lat1) * std::sin(angular) * std::cos(bearing));
    const double lon2 = lon1
        + std::atan2(std::sin(bearing) * std::sin(angular) * std::cos(lat1),
            std::cos(angular) - std::sin(lat1) * std::sin(lat2));
    return { qRadiansToDegrees(lat2), qRadiansToDegrees(lon2) };
}

TileRange tileRange(const LatLon &centre, double zoom, const QSizeF &viewport, int tileZoom)
{
    // World pixels of the tile level per screen pixel.
    const double perScreenPixel = std::exp2(tileZoom - zoom);
    const QPointF middle = project(centre, tileZoom);
    const double halfWidth = viewport.width() / 2.0 * perScreenPixel;
    const double halfHeight = viewport.height() / 2.0 * perScreenPixel;
    const int last = (1 << tileZoom) - 1;
    TileRange range;
    range.zoom = tileZoom;
    const double firstX = std::floor((middle.x() - halfWidth) / tileSize);
    const double lastX = std::ceil((middle.x() + halfWidth) / tileSize) - 1.0;
    // A centre far off the globe gives column numbers no int holds (and no tile to show).
    constexpr double columnLimit = 1 << 30;
    if (!(std::abs(firstX) < columnLimit && std::abs(lastX) < columnLimit)
        || !std::isfinite(middle.y()) || !std::isfinite(halfHeight))
        return range;
    range.firstX = int(firstX);
    range.lastX = int(lastX);
    range.firstY = std::max(0, int(std::floor((middle.y() - halfHeight) / tileSize)));
    range.lastY = std::min(last, int(std::ceil((middle.y() + halfHeight) / tileSize)) - 1);
    return range;
}

int wrapTileX(int x, int tileZoom)
{
    const int count = 1 << tileZoom;
    return ((x % count) + count) % count;
}

int tileZoomFor(double zoom)
{
    return std::clamp(int(std::lround(zoom)), 0, maxTileZoom);
}

double zoomForDistance(double distanceMetres, double latitude, const QSizeF &viewport)
{
    const double metresPerScreenPixel =
        std::max(distanceMetres, 1.0) * spanPerDistance / shorterSide(viewport);
    const double zoom = std::log2(metresPerPixel(latitude, 0.0) / metresPerScreenPixel);
    return std::clamp(zoom, minZoom, maxZoom);
}

double distanceForZoom(double zoom, double latitude, const QSizeF &viewport)
{
    return metresPerPixel(latitude, zoom) * shorterSide(viewport) / spanPerDistance;
}

double ringRadiusMetres(double radiusNM)
{
    return radiusNM * metresPerNauticalMile;
}

double fitAllDistance(double radiusNM)
{
    return ringRadiusMetres(radiusNM) * 5.0;
}

double homeDistance(double cameraDistance, double radiusNM)
{
    const double distance = cameraDistance > 0 ? cameraDistance : ringRadiusMetres(radiusNM) * 3.0;
    return std::clamp(distance, 2'000.0, 2'000'000.0);
}

double focusDistance(double cameraDistance, double radiusNM)
{
    const double distance = cameraDistance > 0 ? cameraDistance : ringRadiusMetres(radiusNM) * 3.0;
    return std::clamp(distance, 8'000.0, 600'000.0);
}

Viewport::Viewport(const QRectF &rect, const Camera &camera)
    : m_rect(rect)
    , m_camera(camera)
    , m_zoom(zoomForDistance(camera.distanceMetres, camera.centre.latitude, rect.size()))
    , m_centreWorld(project(camera.centre, m_zoom))
    , m_worldSize(worldSize(m_zoom))
{
}

QPointF Viewport::toScreen(const LatLon &coordinate) const
{
    return unitToScreen(projectUnit(coordinate));
}

QPointF Viewport::unitToScreen(const QPointF &unit) const
{
    const QPointF world = unit * m_worldSize;
    double dx = world.x() - m_centreWorld.x();
    if (std::abs(dx) > m_worldSize / 2)
        dx -= m_worldSize * std::round(dx / m_worldSize);
    return m_rect.center() + QPointF(dx, world.y() - m_centreWorld.y());
}

LatLon Viewport::toCoordinate(const QPointF &screen) const
{
    LatLon result = unproject(m_centreWorld + (screen - m_rect.center()), m_zoom);
    result.longitude = std::remainder(result.longitude, 360.0);
    return result;
}

double Viewport::metresPerPixel() const
{
    return Mercator::metresPerPixel(m_camera.centre.latitude, m_zoom);
}

TileRange Viewport::tiles(int tileZoom) const
{
    return tileRange(m_camera.centre, m_zoom, m_rect.size(), tileZoom);
}

} // namespace Mercator
