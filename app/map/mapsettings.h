// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "preferences.h"
#include "radarmaprenderer.h"

class QPalette;

// The renderer's settings from the user's map preferences, drawn on @p palette.
RadarMapSettings mapSettings(const Preferences &preferences, const QPalette &palette);

// The stored map style as the renderer names it, and back.
MapStyle mapStyle(Preferences::MapStyle style);
Preferences::MapStyle preferenceStyle(MapStyle style);
