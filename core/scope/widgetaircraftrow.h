// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "linkregion.h"
#include "scopepalette.h"
#include "skyentry.h"

#include <QRectF>
#include <QString>

class QPainter;

/// One compact aircraft line of the board and the medium radar widget: the plane turned to
/// its track, the name, then distance and altitude at the trailing edge.
class WidgetAircraftRow {
public:
    WidgetAircraftRow(Aircraft aircraft, QString unit, ScopePalette palette);

    /// The height a row needs.
    static qreal height();

    /// The row, vertically centred in @p rect.
    void paint(QPainter *painter, const QRectF &rect) const;

    /// The first @p count aircraft of @p entry as rows stacked down from the top of @p rect,
    /// @p spacing apart; with @p linksEnabled, answers each row's rectangle and link.
    static LinkRegions paintStack(QPainter *painter, const QRectF &rect, const SkyEntry &entry,
        qsizetype count, qreal spacing, bool linksEnabled);

private:
    Aircraft m_aircraft;
    QString m_unit;
    ScopePalette m_palette;
};
