// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "skyentry.h"

#include <QRectF>

class QPainter;

/// The circular scope of an entry, north up: three range rings at thirds of the radius,
/// cross-hairs, the home dot and one plane blip per aircraft, pointing along its track.
class RadarView {
public:
    /// What every widget draws at most; more blips would only blur into one another.
    static constexpr int defaultMaxBlips = 40;

    /// Draws the first @p maxBlips aircraft of @p entry (the nearest).
    explicit RadarView(SkyEntry entry, int maxBlips = defaultMaxBlips);

    /// The square the scope takes in @p area: as large as fits, centred.
    static QRectF scopeRect(const QRectF &area);

    /// The scope in scopeRect(@p area).
    void paint(QPainter *painter, const QRectF &area) const;

private:
    SkyEntry m_entry;
    int m_maxBlips;
};
