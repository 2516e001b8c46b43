// SPDX-License-Identifier: GPL-3.0-or-later
#include "applegend.h"

#include "aircraftrowpainter.h"
#include "altitudecolors.h"
#include "legendrow.h"
#include "preferences.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "views/sampleaircraft.h"

#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace Qt::StringLiterals;

namespace {

void paintDots(QPainter *painter, const QRectF &frame, const QList<QColor> &colors, double side = 8)
{
    constexpr double spacing = 2;
    const double width = colors.size() * side + (colors.size() - 1) * spacing;
    double x = frame.center().x() - width / 2;
    painter->setPen(Qt::NoPen);
    for (const QColor &color : colors) {
        painter->setBrush(color);
        painter->drawEllipse(QRectF(x, frame.center().y() - side / 2, side, side));
        x += side + spacing;
    }
}

// The sidebar's EMERG and MIL badges, one above the other.
void paintBadges(QPainter *painter, const QRectF &frame, const QPalette &palette)
{
    QList<AircraftRowPainter::Badge> badges;
    for (const auto *sample : { &SampleAircraft::emergency(), &SampleAircraft::military() }) {
        if (*sample) {
            if (const auto badge = AircraftRowPainter::badge(**sample, palette))
                badges.append(*badge);
        }
    }
    QFont font = TextStyle::pixelFont(QFont(), 9, QFont::Bold);
    painter->setFont(font);
    const QFontMetricsF metrics(font);
    const double height = metrics.height() + 2;
    double y = frame.center().y() - (badges.size() * height + (badges.size() - 1) * 2) / 2;
    for (const AircraftRowPainter::Badge &badge : std::as_const(badges)) {
        const double width = metrics.horizontalAdvance(badge.text) + 8;
        const QRectF plate(frame.center().x() - width / 2, y, width, height);
        painter->setPen(Qt::NoPen);
        painter->setBrush(SystemColors::withAlpha(badge.color, 0.18));
        painter->drawRoundedRect(plate, 3, 3);
        painter->setPen(badge.color);
        painter->drawText(plate, Qt::AlignCenter, badge.text);
        y += height + 2;
    }
}

} // namespace

AppLegend::AppLegend(Preferences *preferences, QWidget *parent)
    : QWidget(parent)
    , m_preferences(preferences)
    , m_halo(new QVariantAnimation(this))
{
    setObjectName(u"appLegend"_s);
    auto *list = new QVBoxLayout(this);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(8);

    // As the map draws them, at medium size, with nothing but the colour changed.
    const auto markerSettings = [this] {
        RadarMapSettings settings;
        settings.planeColorHex = m_preferences->planeColorHex();
        settings.palette = palette();
        settings.reduceMotion = m_preferences->reduceMotion();
        return settings;
    };
    const auto marker = [this, markerSettings](const std::optional<Aircraft> &sample,
                            bool selected) -> LegendIcon::Painter {
        return [this, markerSettings, &sample, selected](QPainter *painter, const QRectF &frame) {
            m_renderer.paintMarker(painter, frame.center(), *sample, markerSettings(), selected,
                m_halo->currentValue().toDouble());
        };
    };
    if (SampleAircraft::normal()) {
        addLegendRow(list, u"Aircraft"_s,
            u"Points in its direction of flight, in your chosen color."_s,
            marker(SampleAircraft::normal(), false));
        addLegendRow(list, u"Selected aircraft"_s,
            u"Larger, with a pulsing halo; the map flies to it and shows its details."_s,
            marker(SampleAircraft::normal(), true));
    }
    if (SampleAircraft::emergency())
        addLegendRow(list, u"Emergency"_s, u"Always red — squawking 7500, 7600, or 7700."_s,
            marker(SampleAircraft::emergency(), false));
    if (SampleAircraft::military())
        addLegendRow(list, u"Military"_s,
            u"Always green — flagged military in the aircraft database."_s,
            marker(SampleAircraft::military(), false));
    addLegendRow(list, u"Altitude colors"_s,
        u"With Color by Altitude on (Ctrl+Shift+A): orange below 2,000 ft, then yellow, green, "
        "cyan, and violet above 30,000 ft."_s,
        [](QPainter *painter, const QRectF &frame) {
            QList<QColor> colors;
            for (const AltitudeColors::Band &band : AltitudeColors::bands())
                colors.append(band.color);
            // Five dots of 8 would overflow the 38-point frame and be cut; 6 fit it.
            paintDots(painter, frame, colors, 6);
        });
    addLegendRow(list, u"Home"_s, u"The center of your search area."_s,
        [this](QPainter *painter, const QRectF &frame) {
            const QRectF symbol(frame.center() - QPointF(11, 11), QSizeF(22, 22));
            painter->setPen(Qt::NoPen);
            painter->setBrush(Qt::white);
            painter->drawEllipse(symbol.adjusted(3, 3, -3, -3));
            Symbols::paint(painter, u"house.circle.fill"_s, symbol, SystemColors::blue(palette()));
        });
    addLegendRow(list, u"Range ring"_s,
        u"The edge of the search radius. White on satellite maps."_s,
        [this](QPainter *painter, const QRectF &frame) {
            painter->setPen(
                QPen(SystemColors::withAlpha(SystemColors::blue(palette()), 0.55), 1.5));
            painter->setBrush(Qt::NoBrush);
            painter->drawEllipse(frame.center(), 11.25, 11.25);
        });
    addLegendRow(list, u"Sidebar badges"_s, u"EMERG and MIL mark the same statuses in the list."_s,
        [this](QPainter *painter, const QRectF &frame) { paintBadges(painter, frame, palette()); });
    addLegendRow(list, u"Status light"_s,
        u"Green: live updates. Orange: paused or connection trouble."_s,
        [this](QPainter *painter, const QRectF &frame) {
            paintDots(painter, frame,
                { SystemColors::green(palette()), SystemColors::orange(palette()) });
        });

    m_halo->setStartValue(0.0);
    m_halo->setEndValue(1.0);
    m_halo->setDuration(1600);
    m_halo->setLoopCount(-1);
    QWidget *selected = findChild<QWidget *>(u"Selected aircraft"_s);
    connect(m_halo, &QVariantAnimation::valueChanged, this, [selected] {
        if (selected)
            selected->update();
    });
    const auto redraw = [this] { update(); };
    connect(preferences, &Preferences::planeColorHexChanged, this, redraw);
    connect(preferences, &Preferences::reduceMotionChanged, this, [this] {
        updateHalo();
        update();
    });
}

void AppLegend::showEvent(QShowEvent *)
{
    updateHalo();
}

void AppLegend::hideEvent(QHideEvent *)
{
    m_halo->stop();
}

void AppLegend::updateHalo()
{
    // Reduce motion keeps the halo still, as the map does.
    if (!isVisible() || m_preferences->reduceMotion())
        m_halo->stop();
    else if (m_halo->state() != QAbstractAnimation::Running)
        m_halo->start();
}
