// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>

class QPainter;
class QPainterPath;

/// The frosted plate of the panels that float over the map (the detail card, the map's
/// controls, the altitude key): what lies behind them blurred and tinted with the window
/// colour, so that the map's text and markers never show through as sharp shapes.
namespace Material {

/// Fills @p shape with the material over @p behind, the picture under @p area in the
/// painter's coordinates (at any device pixel ratio). A null @p behind gives an opaque plate
/// of @p window.
void paint(QPainter *painter, const QPainterPath &shape, const QImage &behind, const QRectF &area,
    const QColor &window);

/// What @p painter has painted so far under @p area, when it paints into an image; null when
/// its device cannot be read back.
QImage behind(QPainter *painter, const QRectF &area);

} // namespace Material
