// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radarmaprenderer.h"

class Preferences;
class QPalette;

// The renderer's settings from the user's map preferences, drawn on @p palette.
RadarMapSettings mapSettings(const Preferences &preferences, const QPalette &palette);
