// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QRectF>

class QPainter;

/// The application's radar icon: a scope with a rotating sweep and one aircraft that pings as
/// the sweep passes it. The About window animates it; the desktop icon is its still frame.
namespace RadarIcon {

/// The phase of the still frame: the sweep just past the aircraft, its ping still bright.
double stillPhase();

/// Draws the icon in the largest square centred in @p rect, never outside it. @p phase is the
/// sweep's progress through one turn, 0 … 1 clockwise from north; any other value wraps.
void paint(QPainter *painter, const QRectF &rect, double phase);

/// The application's icon: the installed "skyvelle" theme icon, or from a source tree the
/// still frame painted at the usual sizes.
QIcon icon();

} // namespace RadarIcon
