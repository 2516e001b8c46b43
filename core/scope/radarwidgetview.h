// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "linkregion.h"
#include "skyentry.h"
#include "widgetfamily.h"

#include <QRectF>

class QPainter;

/// The "Sky Radar" widget. Small: the scope alone with the radius, the aircraft count, the
/// time and "QUIET SKY" for an empty sky in its corners. Medium: the scope beside a list of
/// the nearest three aircraft. Without a home, the set-up prompt.
class RadarWidgetView {
public:
    /// Medium draws the medium layout, every other family the small one. With @p linksEnabled
    /// each listed aircraft reports its link.
    RadarWidgetView(SkyEntry entry, WidgetFamily family, bool linksEnabled);

    /// The widget's content in @p rect; answers the rows' links in the same coordinates.
    LinkRegions paint(QPainter *painter, const QRectF &rect) const;

private:
    void paintSmall(QPainter *painter, const QRectF &rect) const;
    LinkRegions paintMedium(QPainter *painter, const QRectF &rect) const;

    SkyEntry m_entry;
    WidgetFamily m_family;
    bool m_linksEnabled;
};
