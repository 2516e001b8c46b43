// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "linkregion.h"
#include "skyentry.h"
#include "widgetfamily.h"

#include <QImage>
#include <QSizeF>
#include <QUrl>

class QPainter;

/// The widgets the desktop can show.
enum class WidgetLayout {
    NearestSmall, ///< "Nearest Aircraft", small
    RadarSmall, ///< "Sky Radar", small
    RadarMedium, ///< "Sky Radar", medium
    SkyBoardLarge, ///< "Sky Board", large
};

/// A whole widget as the desktop shows it: the view of its layout, padded, on the palette's
/// background inside rounded corners. The widget host paints it on screen and the
/// application's "widgetshots" into PNG files, so both show the same pixels.
namespace WidgetRender {

/// Space between the widget's edge and its content, in points.
inline constexpr qreal padding = 14;
/// Corner radius of the widget's frame, in points.
inline constexpr qreal cornerRadius = 22;

WidgetFamily family(WidgetLayout layout);
/// The frame in points: frameSize(family(layout)).
QSizeF size(WidgetLayout layout);

/// The widget with its top-left corner at the painter's origin. Outside the rounded frame
/// nothing is painted. Answers the rows' links in the same coordinates.
LinkRegions paint(QPainter *painter, WidgetLayout layout, const SkyEntry &entry);

/// The widget at @p scale device pixels per point, transparent outside the corners; the
/// image's device pixel ratio is @p scale. @p links (when given) receives the rows' links in
/// points.
QImage render(
    WidgetLayout layout, const SkyEntry &entry, qreal scale, LinkRegions *links = nullptr);

/// Where a click outside the rows goes: deepLink(entry) for the nearest aircraft,
/// "skyvelle://open" for the others.
QUrl tapLink(WidgetLayout layout, const SkyEntry &entry);

} // namespace WidgetRender
