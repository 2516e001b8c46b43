// SPDX-License-Identifier: GPL-3.0-or-later
#include "scopepalette.h"

#include "hexcolor.h"
#include "systemcolors.h"

namespace {

constexpr double backgroundShade = 0.09;

ScopePalette fromComponents(double red, double green, double blue)
{
    return ScopePalette { QColor::fromRgbF(float(red), float(green), float(blue)),
        QColor::fromRgbF(float(red * backgroundShade), float(green * backgroundShade),
            float(blue * backgroundShade)) };
}

} // namespace

QColor ScopePalette::dim() const
{
    return SystemColors::withAlpha(phosphor, 0.55);
}

QColor ScopePalette::faint() const
{
    return SystemColors::withAlpha(phosphor, 0.22);
}

ScopePalette ScopePalette::fromAccent(const std::optional<QString> &accentHex)
{
    const auto components = accentHex ? HexColor::components(*accentHex) : std::nullopt;
    if (!components)
        return standard();
    return fromComponents((*components)[0], (*components)[1], (*components)[2]);
}

const ScopePalette &ScopePalette::standard()
{
    static const ScopePalette palette = fromComponents(0.45, 1.0, 0.6);
    return palette;
}

QColor militaryGold()
{
    return QColor::fromRgbF(1.0f, 0.85f, 0.3f);
}

QColor blipColor(const Aircraft &aircraft, const ScopePalette &palette)
{
    if (aircraft.isEmergency())
        return SystemColors::emergencyRed();
    if (aircraft.isMilitary())
        return militaryGold();
    return palette.phosphor;
}
