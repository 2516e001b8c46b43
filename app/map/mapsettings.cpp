// SPDX-License-Identifier: GPL-3.0-or-later
#include "mapsettings.h"

RadarMapSettings mapSettings(const Preferences &preferences, const QPalette &palette)
{
    RadarMapSettings settings;
    settings.mapStyleChoice = mapStyle(preferences.mapStyleChoice());
    settings.planeColorHex = preferences.planeColorHex();
    settings.markerScale = preferences.markerScale();
    settings.increaseContrast = preferences.increaseContrast();
    settings.differentiateWithoutColor = preferences.differentiateWithoutColor();
    settings.reduceMotion = preferences.reduceMotion();
    settings.colorByAltitude = preferences.colorByAltitude();
    settings.showTrails = preferences.showTrails();
    settings.trailWidth = preferences.trailWidth();
    settings.palette = palette;
    return settings;
}

// The engine keeps its own enum for the stored texts; both list the styles in one order.
static_assert(int(Preferences::MapStyle::Standard) == int(MapStyle::Standard)
    && int(Preferences::MapStyle::Muted) == int(MapStyle::Muted)
    && int(Preferences::MapStyle::Imagery) == int(MapStyle::Imagery)
    && int(Preferences::MapStyle::Hybrid) == int(MapStyle::Hybrid));

MapStyle mapStyle(Preferences::MapStyle style)
{
    return MapStyle(int(style));
}

Preferences::MapStyle preferenceStyle(MapStyle style)
{
    return Preferences::MapStyle(int(style));
}
