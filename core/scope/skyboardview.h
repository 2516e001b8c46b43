// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "linkregion.h"
#include "skyentry.h"

#include <QRectF>

class QPainter;

/// The "Sky Board" widget: a title bar with the radius and the time, the scope, and a board
/// of the nearest five aircraft; the set-up prompt without a home.
class SkyBoardView {
public:
    /// With @p linksEnabled each board row reports its link.
    SkyBoardView(SkyEntry entry, bool linksEnabled);

    /// The widget's content in @p rect; answers the rows' links in the same coordinates.
    LinkRegions paint(QPainter *painter, const QRectF &rect) const;

private:
    SkyEntry m_entry;
    bool m_linksEnabled;
};
