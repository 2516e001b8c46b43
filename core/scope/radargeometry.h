// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "homelocation.h"

#include <QPointF>
#include <QRectF>

#include <optional>

/// Where an aircraft sits on the scope: a share of the scope radius and a bearing.
struct PolarPosition {
    double fraction = 0.0; ///< 0 at home, 1 at the search radius and beyond
    double bearingDeg = 0.0; ///< clockwise from true north

    friend bool operator==(const PolarPosition &, const PolarPosition &) = default;
};

/// Places aircraft on a north-up scope around home whose edge is the search radius.
struct RadarGeometry {
    double radiusNM = 0.0; ///< the scope radius, the search radius of the entry
    /// The centre; only needed for aircraft that lack the feed's "dst" or "dir".
    std::optional<HomeLocation> home;

    /// The feed's distance and bearing, a missing one computed from home and the aircraft's
    /// position on a sphere. Absent without either, when the radius is not positive and finite,
    /// or when the distance is negative or not finite. The bearing is brought into 0…360°.
    std::optional<PolarPosition> polar(const Aircraft &aircraft) const;

    /// The point of @p position on the scope that fits @p area: centred, radius half the
    /// shorter side, and 0.94 of it at the search radius so that edge blips stay inside the
    /// outer ring.
    static QPointF project(const PolarPosition &position, const QRectF &area);
};
