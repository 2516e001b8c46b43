// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibilitypane.h"

#include "rowpreview.h"
#include "settingscontrols.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "views/labels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace SettingsControls;

namespace {

// The slider counts twentieths: 16 … 28 is 0.8 … 1.4 in steps of 0.05.
constexpr int stepsPerUnit = 20;

} // namespace

AccessibilityPane::AccessibilityPane(Preferences *preferences, QWidget *parent)
    : QWidget(parent)
{
    QVBoxLayout *pane = paneLayout(this);

    QVBoxLayout *motion = addSection(pane, u"Motion"_s);
    motion->addWidget(boundToggle(u"Reduce motion"_s, preferences, &Preferences::reduceMotion,
        &Preferences::setReduceMotion, &Preferences::reduceMotionChanged, this));
    motion->addWidget(caption(u"Stops the map's movement animations and the About window's radar "
                              "ping. Skyvelle also honors the system-wide Reduce Motion setting "
                              "automatically."_s,
        this));

    QVBoxLayout *text = addSection(pane, u"Text size"_s);
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(plainLabel(u"A"_s, this));
    auto *slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(u"textSize"_s);
    slider->setAccessibleName(u"Text size"_s);
    slider->setRange(16, 28);
    slider->setPageStep(2);
    slider->setFixedWidth(240);
    row->addWidget(slider);
    QLabel *large = plainLabel(u"A"_s, this);
    large->setFont(TextStyle::pixelFont(font(), 21, QFont::DemiBold));
    setTextColor(large, SystemColors::secondaryText(palette()));
    row->addWidget(large);
    QLabel *percent = plainLabel({}, this, u"textSizePercent"_s);
    percent->setFixedWidth(44);
    percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The default UI fonts have tabular digits already, so the width does not jump.
    row->addWidget(percent);
    auto *reset = new QPushButton(u"Reset"_s, this);
    reset->setObjectName(u"textSizeReset"_s);
    reset->setAccessibleName(u"Reset text size"_s);
    row->addWidget(reset);
    row->addStretch(1);
    text->addLayout(row);
    text->addWidget(new RowPreview(preferences, this));
    text->addWidget(caption(u"Scales the text in the aircraft list and detail card. Widgets keep "
                            "their compact fixed layout."_s,
        this));

    const auto show = [preferences, slider, percent, reset] {
        const double scale = preferences->textScale();
        // A hand-edited value outside the range shows at the nearest end, and stays stored
        // as it is until the slider moves.
        const QSignalBlocker blocker(slider);
        slider->setValue(int(std::lround(scale * stepsPerUnit)));
        percent->setText(u"%1%"_s.arg(slider->value() * 100 / stepsPerUnit));
        reset->setVisible(std::abs(scale - 1.0) > 1e-9);
    };
    show();
    connect(slider, &QSlider::valueChanged, preferences,
        [preferences](int value) { preferences->setTextScale(double(value) / stepsPerUnit); });
    connect(reset, &QPushButton::clicked, preferences,
        [preferences] { preferences->setTextScale(1.0); });
    connect(preferences, &Preferences::textScaleChanged, this, show);

    QVBoxLayout *vision = addSection(pane, u"Vision"_s);
    vision->addWidget(
        boundToggle(u"Increase contrast"_s, preferences, &Preferences::increaseContrast,
            &Preferences::setIncreaseContrast, &Preferences::increaseContrastChanged, this));
    vision->addWidget(caption(u"Draws aircraft markers with thicker outlines and stronger shadows "
                              "so they stand out against any map."_s,
        this));
    vision->addWidget(boundToggle(u"Differentiate without color"_s, preferences,
        &Preferences::differentiateWithoutColor, &Preferences::setDifferentiateWithoutColor,
        &Preferences::differentiateWithoutColorChanged, this));
    vision->addWidget(caption(u"Adds an ! symbol to emergency aircraft and a ★ to military "
                              "aircraft, so status never depends on color alone. The sidebar "
                              "always carries EMERG and MIL text badges."_s,
        this));

    QVBoxLayout *readers = addSection(pane, u"Screen readers"_s);
    readers->addWidget(caption(u"Aircraft on the map and in the sidebar describe themselves to "
                               "screen readers — callsign, altitude, distance, and any emergency "
                               "or military status. No setup needed."_s,
        this));
}
