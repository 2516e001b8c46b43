// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRect>

class QPainter;
class QPainterPath;
class QWidget;

// A widget that others float over (the map), which can show them what lies behind them so
// that they paint a frosted plate of it rather than a see-through one.
class Backdrop {
public:
    virtual ~Backdrop() = default;

    // The picture under @p area, in the widget's own coordinates; null when there is none.
    virtual QImage behind(const QRect &area) const = 0;

    // Fills @p shape (in @p widget's coordinates) with the material over what the nearest
    // Backdrop among @p widget's ancestors shows there; an opaque window-coloured plate when
    // the widget floats over nothing of the kind.
    static void paintPlate(QPainter *painter, const QWidget *widget, const QPainterPath &shape);
};
