// SPDX-License-Identifier: GPL-3.0-or-later
#include "skyvellewidgetbundle.h"

using namespace Qt::StringLiterals;

QList<WidgetFamily> WidgetKind::families() const
{
    QList<WidgetFamily> out;
    for (const WidgetLayout layout : layouts)
        out << WidgetRender::family(layout);
    return out;
}

namespace SkyvelleWidgetBundle {

const QList<WidgetKind> &kinds()
{
    static const QList<WidgetKind> all {
        { u"com.tavrin.skyvelle.nearest"_s, u"Nearest Aircraft"_s,
            u"The closest aircraft to home right now."_s, { WidgetLayout::NearestSmall } },
        { u"com.tavrin.skyvelle.radar"_s, u"Sky Radar"_s,
            u"A radar scope of aircraft around your home."_s,
            { WidgetLayout::RadarSmall, WidgetLayout::RadarMedium } },
        { u"com.tavrin.skyvelle.skyboard"_s, u"Sky Board"_s,
            u"Radar scope plus the nearest aircraft, at a glance."_s,
            { WidgetLayout::SkyBoardLarge } },
    };
    return all;
}

const WidgetKind *find(const QString &kind)
{
    for (const WidgetKind &k : kinds()) {
        if (k.kind == kind)
            return &k;
    }
    return nullptr;
}

std::optional<WidgetLayout> layout(const QString &kind, WidgetFamily family)
{
    if (const WidgetKind *k = find(kind)) {
        for (const WidgetLayout layout : k->layouts) {
            if (WidgetRender::family(layout) == family)
                return layout;
        }
    }
    return std::nullopt;
}

} // namespace SkyvelleWidgetBundle
