// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// The product's symbol names ("pause.fill", "house", ...) drawn from one icon font that ships
// inside the executable, so that every view asks for a symbol by the same name.
namespace Symbols {

// An icon for toolbars, menus and buttons. Without a colour it paints in the palette's text
// colour of the moment (highlighted text when selected, dimmed when disabled), so it follows
// a change between light and dark without being recreated.
QIcon icon(const QString &name, const QColor &color = {});

// The symbol at px × px device-independent pixels, sharp on high-density screens.
QPixmap pixmap(const QString &name, int px, const QColor &color);

// Draws the symbol centred in rect, as large as the smaller side allows.
void paint(QPainter *painter, const QString &name, const QRectF &rect, const QColor &color);

// Whether the table knows the name; an unknown one draws a stand-in glyph.
bool isKnown(const QString &name);

// Every name of the table.
QStringList names();

// The font family that holds the glyphs (loaded on first use).
QString fontFamily();

// The code point a name draws: its own glyph, or the stand-in for an unknown name.
char32_t codePoint(const QString &name);

// An airliner seen from above, nose pointing right (east), inside the unit box centred on the
// origin. Rows and map markers rotate and scale it; a path stays crisp at any angle where a
// rotated font glyph would not.
QPainterPath airplanePath();

// The plane glyph filled in @p color, @p size logical pixels across, centred on @p centre and
// turned @p rotationDeg clockwise from east. A stroke of @p outline × size in the same colour
// stands in for a bolder weight. The one way every view draws a plane: list rows, map markers,
// scope blips.
void paintAirplane(QPainter *painter, const QPointF &centre, qreal size, qreal rotationDeg,
    const QColor &color, qreal outline = 0.0);

} // namespace Symbols
