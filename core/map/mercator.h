// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Web-Mercator arithmetic for 256-pixel XYZ tiles, and the map camera expressed in it.
//
// World pixels: at zoom z the whole world is a square of 256 × 2^z pixels, x growing east from
// the antimeridian, y growing south from 85.05° N. Zoom may be fractional; tiles exist only at
// whole levels.
namespace Mercator {

inline constexpr int tileSize = 256;
inline constexpr double maxLatitude = 85.0511287798066;
// The sphere Web Mercator projects from (the WGS-84 semi-major axis).
inline constexpr double earthRadiusMetres = 6378137.0;
inline constexpr double metresPerNauticalMile = 1852.0;
// The camera may zoom past the deepest tile level; tiles are then drawn enlarged.
inline constexpr double minZoom = 0.0;
inline constexpr double maxZoom = 20.0;
inline constexpr int maxTileZoom = 19;

// Ground span of the viewport's shorter side per metre of camera distance: a camera looking
// straight down through a field of view of about 28°.
inline constexpr double spanPerDistance = 0.5;

double worldSize(double zoom);
// The point in the world as a unit square (zoom −8): the same at every zoom, so worth keeping.
QPointF projectUnit(const LatLon &coordinate);
QPointF project(const LatLon &coordinate, double zoom);
LatLon unproject(const QPointF &worldPixel, double zoom);
// Ground metres one world pixel covers at that latitude.
double metresPerPixel(double latitude, double zoom);
// The point @p metres away along the great circle that leaves @p origin at @p bearingDegrees.
LatLon destination(const LatLon &origin, double bearingDegrees, double metres);

// Whole tiles at one level covering a viewport. x may run outside 0 … 2^z − 1 where the view
// crosses the antimeridian, or repeat the world when the view is wider than it (wrapTileX
// folds it back); y is clamped to the world.
struct TileRange {
    int zoom = 0;
    int firstX = 0;
    int lastX = -1;
    int firstY = 0;
    int lastY = -1;

    int columns() const { return lastX - firstX + 1; }
    int rows() const { return lastY - firstY + 1; }
    int count() const { return columns() > 0 && rows() > 0 ? columns() * rows() : 0; }
    friend bool operator==(const TileRange &, const TileRange &) = default;
};

TileRange tileRange(const LatLon &centre, double zoom, const QSizeF &viewport, int tileZoom);
int wrapTileX(int x, int tileZoom);
// The tile level drawn for a camera zoom: the nearest whole level the servers have.
int tileZoomFor(double zoom);

// A north-up, flat camera: what the map looks at and from how high.
struct Camera {
    LatLon centre;
    double distanceMetres = 0.0;
};

double zoomForDistance(double distanceMetres, double latitude, const QSizeF &viewport);
double distanceForZoom(double zoom, double latitude, const QSizeF &viewport);

double ringRadiusMetres(double radiusNM);
// Far enough that the whole range ring shows with a margin round it.
double fitAllDistance(double radiusNM);
// Recentring on home keeps the current distance, within 2 km … 2,000 km.
double homeDistance(double cameraDistance, double radiusNM);
// Flying to the selection keeps the current distance, within 8 km … 600 km.
double focusDistance(double cameraDistance, double radiusNM);

// One camera over one rectangle of the screen: converts between screen points and coordinates.
class Viewport {
public:
    Viewport(const QRectF &rect, const Camera &camera);

    const QRectF &rect() const { return m_rect; }
    double zoom() const { return m_zoom; }
    // The world pixel under the rectangle's centre.
    const QPointF &centreWorld() const { return m_centreWorld; }
    // The copy of the point nearest the centre, so that views across the antimeridian work.
    QPointF toScreen(const LatLon &coordinate) const;
    // The same for a point of projectUnit().
    QPointF unitToScreen(const QPointF &unit) const;
    LatLon toCoordinate(const QPointF &screen) const;
    double metresPerPixel() const;
    TileRange tiles(int tileZoom) const;

private:
    QRectF m_rect;
    Camera m_camera;
    double m_zoom;
    QPointF m_centreWorld;
    double m_worldSize;
};

} // namespace Mercator
