// SPDX-License-Identifier: GPL-3.0-or-later
#include "radargeometry.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double earthRadiusNM = 3437.75;
// Blips at the radius sit just inside the outer ring rather than on it.
constexpr double edgeInset = 0.94;

} // namespace

std::optional<PolarPosition> RadarGeometry::polar(const Aircraft &aircraft) const
{
    std::optional<double> distance = aircraft.distanceNM;
    std::optional<double> bearing = aircraft.directionDeg;
    if (!distance || !bearing) {
        if (!home || !aircraft.lat || !aircraft.lon)
            return std::nullopt;
        const double phi1 = qDegreesToRadians(home->latitude);
        const double phi2 = qDegreesToRadians(*aircraft.lat);
        const double deltaLambda = qDegreesToRadians(*aircraft.lon - home->longitude);
        if (!bearing) {
            const double y = std::sin(deltaLambda) * std::cos(phi2);
            const double x = std::cos(phi1) * std::sin(phi2)
                - std::sin(phi1) * std::cos(phi2) * std::cos(deltaLambda);
            bearing = std::fmod(qRadiansToDegrees(std::atan2(y, x)) + 360.0, 360.0);
        }
        if (!distance) {
            const double c = std::sin(phi1) * std::sin(phi2)
                + std::cos(phi1) * std::cos(phi2) * std::cos(deltaLambda);
            distance = std::acos(std::clamp(c, -1.0, 1.0)) * earthRadiusNM;
        }
    }
    // Values off any scale (a record built by hand, a radius of 1e308) place nothing rather
    // than a point at NaN or infinity.
    if (!(radiusNM > 0) || !std::isfinite(radiusNM) || !(*distance >= 0)
        || !std::isfinite(*distance) || !std::isfinite(*bearing))
        return std::nullopt;
    double turn = std::fmod(*bearing, 360.0);
    if (turn < 0)
        turn += 360.0;
    // + 0.0 turns a bearing of -0 into 0.
    return PolarPosition { std::min(*distance / radiusNM, 1.0), turn + 0.0 };
}

QPointF RadarGeometry::project(const PolarPosition &position, const QRectF &area)
{
    const double radius = std::min(area.width(), area.height()) / 2;
    const double bearing = qDegreesToRadians(position.bearingDeg);
    const double reach = radius * position.fraction * edgeInset;
    return area.center() + QPointF(reach * std::sin(bearing), -reach * std::cos(bearing));
}
