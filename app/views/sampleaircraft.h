// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <optional>

// The made-up aircraft that previews and the legend draw, each decoded once with the feed's
// own decoder so that they take every rule a real answer does. Absent if a record ever stops
// decoding; the view that draws it then leaves it out.
namespace SampleAircraft {

// ASA512, a 737-900 at 12,000 ft heading north-east: the settings previews.
const std::optional<Aircraft> &preview();
// The legend's ordinary, emergency (squawking 7700) and military aircraft.
const std::optional<Aircraft> &normal();
const std::optional<Aircraft> &emergency();
const std::optional<Aircraft> &military();

} // namespace SampleAircraft
