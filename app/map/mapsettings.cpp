// SPDX-License-Identifier: GPL-3.0-or-later
#include "mapsettings.h"

#include "preferences.h"

RadarMapSettings mapSettings(const Preferences &preferences, const QPalette &palette)
{
    RadarMapSettings settings;
    settings.mapStyleChoice = preferences.mapStyleChoice();
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
