// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "skyentry.h"

#include <QRectF>

class QPainter;

/// The "Nearest Aircraft" widget: the closest aircraft in large type with its type,
/// registration, distance and altitude; "Quiet skies" when there is none; the set-up prompt
/// without a home. The whole widget links to deepLink(entry).
class NearestAircraftView {
public:
    explicit NearestAircraftView(SkyEntry entry);

    void paint(QPainter *painter, const QRectF &rect) const;

private:
    void paintQuiet(QPainter *painter, const QRectF &rect) const;
    void paintNearest(QPainter *painter, const QRectF &rect) const;

    SkyEntry m_entry;
};
