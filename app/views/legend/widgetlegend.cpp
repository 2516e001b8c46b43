// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgetlegend.h"

#include "legendrow.h"
#include "preferences.h"
#include "scopepalette.h"
#include "symbols.h"
#include "textstyle.h"
#include "views/sampleaircraft.h"

#include <QPainter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

WidgetLegend::WidgetLegend(Preferences *preferences, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"widgetLegend"_s);
    auto *list = new QVBoxLayout(this);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(8);

    // Each picture stands on a patch of the scope's dark background, as on the widget.
    using Draw = std::function<void(QPainter *, const QRectF &, const ScopePalette &)>;
    const auto onScope = [preferences](Draw draw) -> LegendIcon::Painter {
        return [preferences, draw](QPainter *painter, const QRectF &frame) {
            const ScopePalette scope = ScopePalette::fromAccent(preferences->widgetColorHex());
            painter->setPen(Qt::NoPen);
            painter->setBrush(scope.background);
            painter->drawRoundedRect(frame, 6, 6);
            draw(painter, frame, scope);
        };
    };
    const auto blip = [onScope](const std::optional<Aircraft> &sample) {
        return onScope(
            [&sample](QPainter *painter, const QRectF &frame, const ScopePalette &scope) {
                Symbols::paintAirplane(painter, frame.center(), 18,
                    sample->track.value_or(90) - 90.0, blipColor(*sample, scope));
            });
    };
    const auto text = [onScope](const QString &word) {
        return onScope([word](QPainter *painter, const QRectF &frame, const ScopePalette &scope) {
            painter->setFont(TextStyle::pixelFont(QFont(u"monospace"_s), 8.5, QFont::Bold));
            painter->setPen(scope.phosphor);
            painter->drawText(frame, Qt::AlignCenter, word);
        });
    };

    if (SampleAircraft::normal())
        addLegendRow(list, u"Aircraft blip"_s,
            u"In your widget accent color, pointing in its direction of flight."_s,
            blip(SampleAircraft::normal()));
    if (SampleAircraft::military())
        addLegendRow(
            list, u"Military"_s, u"Gold on the scope."_s, blip(SampleAircraft::military()));
    if (SampleAircraft::emergency())
        addLegendRow(
            list, u"Emergency"_s, u"Red on the scope."_s, blip(SampleAircraft::emergency()));
    addLegendRow(list, u"Center dot"_s,
        u"Home — every blip is plotted at its true bearing and distance."_s,
        onScope([](QPainter *painter, const QRectF &frame, const ScopePalette &scope) {
            painter->setBrush(scope.phosphor);
            painter->drawEllipse(frame.center(), 2.5, 2.5);
        }));
    addLegendRow(list, u"Rings"_s,
        u"Thirds of your radius — at 25 nm they mark roughly 8, 17, and 25 nm."_s,
        onScope([](QPainter *painter, const QRectF &frame, const ScopePalette &scope) {
            painter->setBrush(Qt::NoBrush);
            painter->setPen(QPen(scope.phosphor, 1.0));
            for (const double radius : { 4.5, 9.0, 13.5 })
                painter->drawEllipse(frame.center(), radius, radius);
        }));
    addLegendRow(list, u"FL240 / GND"_s,
        u"Flight level ≈ 24,000 ft (used above 18,000 ft); GND means on the ground."_s,
        text(u"FL240"_s));
    addLegendRow(list, u"QUIET SKY"_s,
        u"Nothing in range right now — the widget is working, the sky is just empty."_s,
        text(u"QUIET"_s));

    connect(preferences, &Preferences::widgetColorHexChanged, this, [this] { update(); });
}
