// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QColor>
#include <QLatin1StringView>

/// The colours an aircraft is drawn in: one rule for the list rows, the map markers and
/// their trails, the legend and the desktop widgets.
namespace AircraftColors {

/// The aircraft colour a new user sees, as stored in the settings.
inline constexpr QLatin1StringView defaultPlaneColorHex { "#FF8A00" };

/// What the map paints for an aircraft colour that does not parse: the platform's standard
/// orange, a lighter shade than the default (the list rows take the accent instead).
inline constexpr QRgb unparsedPlaneColor = 0xFFFF9500;

/// @p hex as a colour; unparsedPlaneColor when it does not parse.
QColor planeColor(const QString &hex);

/// Emergency red, military green, the altitude band when colouring by altitude, else
/// @p planeColor.
QColor fill(const Aircraft &aircraft, bool colorByAltitude, const QColor &planeColor);

/// The plane glyph on @p fill: black at 85 % on a light fill, else white.
QColor glyph(const QColor &fill);

} // namespace AircraftColors
