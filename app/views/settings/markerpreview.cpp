// SPDX-License-Identifier: GPL-3.0-or-later
#include "markerpreview.h"

#include "mapsettings.h"
#include "preferences.h"
#include "views/sampleaircraft.h"

#include <QPainter>

MarkerPreview::MarkerPreview(Preferences *preferences, QWidget *parent)
    : QWidget(parent)
    , m_preferences(preferences)
{
    const auto redraw = [this] { update(); };
    connect(preferences, &Preferences::planeColorHexChanged, this, redraw);
    connect(preferences, &Preferences::markerScaleChanged, this, redraw);
    connect(preferences, &Preferences::colorByAltitudeChanged, this, redraw);
    connect(preferences, &Preferences::increaseContrastChanged, this, redraw);
    connect(preferences, &Preferences::differentiateWithoutColorChanged, this, redraw);
}

QSize MarkerPreview::sizeHint() const
{
    // Room for the largest marker, and its shadow.
    return QSize(48, 48);
}

void MarkerPreview::paintEvent(QPaintEvent *)
{
    const std::optional<Aircraft> &sample = SampleAircraft::preview();
    if (!sample)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_renderer.paintMarker(
        &painter, QRectF(rect()).center(), *sample, mapSettings(*m_preferences, palette()));
}
