// SPDX-License-Identifier: GPL-3.0-or-later
#include "altitudecolors.h"

#include <limits>

using namespace Qt::StringLiterals;

namespace AltitudeColors {

const QList<Band> &bands()
{
    static const QList<Band> table {
        { u"<2"_s, std::numeric_limits<qint64>::min(), QColor::fromRgbF(1.0f, 0.45f, 0.2f) },
        { u"2–10"_s, 2000, QColor::fromRgbF(1.0f, 0.78f, 0.0f) },
        { u"10–20"_s, 10000, QColor::fromRgbF(0.3f, 0.78f, 0.3f) },
        { u"20–30"_s, 20000, QColor::fromRgbF(0.2f, 0.72f, 0.9f) },
        { u"30+"_s, 30000, QColor::fromRgbF(0.5f, 0.5f, 1.0f) },
    };
    return table;
}

QColor color(std::optional<qint64> feet)
{
    if (!feet)
        return QColor(142, 142, 147);
    const QList<Band> &all = bands();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (*feet >= it->fromFeet)
            return it->color;
    }
    return all.front().color;
}

} // namespace AltitudeColors
