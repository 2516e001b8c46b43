// SPDX-License-Identifier: GPL-3.0-or-later
#include "rowpreview.h"

#include "preferences.h"
#include "systemcolors.h"
#include "views/sampleaircraft.h"

#include <QPainter>

namespace {

constexpr int panelWidth = 340;
constexpr int padding = 8;

} // namespace

RowPreview::RowPreview(Preferences *preferences, QWidget *parent)
    : QWidget(parent)
    , m_preferences(preferences)
{
    setAccessibleName(QStringLiteral("Text size preview"));
    restyle();
    const auto restyled = [this] { restyle(); };
    connect(preferences, &Preferences::textScaleChanged, this, restyled);
    connect(preferences, &Preferences::planeColorHexChanged, this, restyled);
    connect(preferences, &Preferences::colorByAltitudeChanged, this, restyled);
    connect(preferences, &Preferences::distanceUnitChanged, this, restyled);
}

QSize RowPreview::sizeHint() const
{
    return QSize(panelWidth, m_painter.rowHeight(font()) + 2 * padding);
}

void RowPreview::restyle()
{
    m_painter.setStyle({ m_preferences->textScale(), m_preferences->colorByAltitude(),
        m_preferences->planeColorHex(), m_preferences->distanceUnitText() });
    setFixedSize(sizeHint());
    update();
}

void RowPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()), 8, 8);
    if (const std::optional<Aircraft> &sample = SampleAircraft::preview())
        m_painter.paint(&painter, QRectF(rect()).adjusted(padding, padding, -padding, -padding),
            *sample, palette(), false, font());
}
