// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

// The five altitude bands that colour markers, trails and list icons when colouring by
// altitude is on, and that the map's key and the legend show.
namespace AltitudeColors {

struct Band {
    QString label; // "<2", "2–10", … in thousands of feet
    qint64 fromFeet; // lowest altitude of the band, inclusive
    QColor color;
};

// Lowest band first.
const QList<Band> &bands();

// The band colour for an altitude; negative altitudes fall in the lowest band, and an unknown
// altitude is grey.
QColor color(std::optional<qint64> feet);

} // namespace AltitudeColors
