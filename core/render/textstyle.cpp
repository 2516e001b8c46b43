// SPDX-License-Identifier: GPL-3.0-or-later
#include "textstyle.h"

#include <algorithm>
#include <cmath>

namespace TextStyle {

double clampedScale(double textScale)
{
    if (!std::isfinite(textScale) || textScale <= 0)
        return 1.0;
    return std::clamp(textScale, 0.5, 3.0);
}

QFont pixelFont(const QFont &base, double pixels, QFont::Weight weight)
{
    QFont font = base;
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setWeight(weight);
    return font;
}

QFont relativeFont(const QFont &base, double factor, QFont::Weight weight)
{
    // A font sized in pixels has no point size; the desktop's usual body size stands in.
    const double points = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    QFont font = base;
    font.setPointSizeF(std::max(7.0, points * factor));
    font.setWeight(weight);
    return font;
}

} // namespace TextStyle
