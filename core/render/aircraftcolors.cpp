// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftcolors.h"

#include "altitudecolors.h"
#include "hexcolor.h"
#include "systemcolors.h"

namespace AircraftColors {

QColor planeColor(const QString &hex)
{
    return HexColor::color(hex).value_or(QColor::fromRgba(unparsedPlaneColor));
}

QColor fill(const Aircraft &aircraft, bool colorByAltitude, const QColor &planeColor)
{
    if (aircraft.isEmergency())
        return SystemColors::emergencyRed();
    if (aircraft.isMilitary())
        return SystemColors::militaryGreen();
    if (colorByAltitude)
        return AltitudeColors::color(aircraft.altitudeFeet());
    return planeColor;
}

QColor glyph(const QColor &fill)
{
    return HexColor::isLight(fill) ? QColor::fromRgbF(0, 0, 0, 0.85f) : QColor(Qt::white);
}

} // namespace AircraftColors
