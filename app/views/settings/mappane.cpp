// SPDX-License-Identifier: GPL-3.0-or-later
#include "mappane.h"

#include "markerpreview.h"
#include "settingscontrols.h"
#include "swatchrow.h"
#include "views/labels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace SettingsControls;

namespace {

// A swatch row bound both ways to a colour preference stored as text.
template<typename Changed>
SwatchRow *boundSwatches(const QStringList &presets, QLatin1String fallbackHex,
    Preferences *preferences, QString (Preferences::*get)() const,
    void (Preferences::*set)(const QString &), Changed changed, QWidget *parent)
{
    auto *row = new SwatchRow(presets, QString(fallbackHex), parent);
    row->setCurrent((preferences->*get)());
    QObject::connect(row, &SwatchRow::picked, preferences, set);
    QObject::connect(preferences, changed, row,
        [row, preferences, get] { row->setCurrent((preferences->*get)()); });
    return row;
}

// A label before a control, on one row.
QHBoxLayout *labelled(const QString &text, QWidget *control, QWidget *parent)
{
    auto *row = new QHBoxLayout;
    QLabel *label = plainLabel(text, parent);
    label->setMinimumWidth(60);
    row->addWidget(label);
    row->addWidget(control);
    row->addStretch(1);
    return row;
}

} // namespace

MapPane::MapPane(Preferences *preferences, QWidget *parent)
    : QWidget(parent)
{
    namespace Keys = PreferenceKeys;
    QVBoxLayout *pane = paneLayout(this);

    QVBoxLayout *color = addSection(pane, u"Aircraft color"_s);
    color->addWidget(boundSwatches({ u"#FF8A00"_s, u"#FFD60A"_s, u"#FF375F"_s, u"#BF5AF2"_s,
                                       u"#32D74B"_s, u"#64D2FF"_s, u"#0A84FF"_s, u"#FFFFFF"_s },
        Keys::planeColorHex.fallback, preferences, &Preferences::planeColorHex,
        &Preferences::setPlaneColorHex, &Preferences::planeColorHexChanged, this));
    color->addWidget(caption(u"Tints the aircraft on the map and in the sidebar. The plane glyph "
                             "automatically switches between black and white to stay visible. "
                             "Emergency aircraft always show red; military always show green."_s,
        this));
    color->addWidget(
        boundToggle(u"Color aircraft by altitude"_s, preferences, &Preferences::colorByAltitude,
            &Preferences::setColorByAltitude, &Preferences::colorByAltitudeChanged, this));
    color->addWidget(caption(u"Overrides the color above with altitude bands — orange below "
                             "2,000 ft up to violet above 30,000. A key appears on the map while "
                             "this is on."_s,
        this));

    QVBoxLayout *size = addSection(pane, u"Marker size"_s);
    size->addWidget(
        boundSegments<double>({ { u"Small"_s, 0.8 }, { u"Medium"_s, 1.0 }, { u"Large"_s, 1.3 } },
            u"Marker size"_s, preferences, &Preferences::markerScale, &Preferences::setMarkerScale,
            &Preferences::markerScaleChanged, this));
    auto *preview = new MarkerPreview(preferences, this);
    preview->setAccessibleName(u"Marker preview"_s);
    size->addLayout(labelled(u"Preview"_s, preview, this));

    QVBoxLayout *trails = addSection(pane, u"Flight trails"_s);
    trails->addWidget(boundToggle(u"Show flight trails"_s, preferences, &Preferences::showTrails,
        &Preferences::setShowTrails, &Preferences::showTrailsChanged, this));
    SegmentedControl *length = boundSegments<double>(
        { { u"30 sec"_s, 0.5 }, { u"1 min"_s, 1.0 }, { u"2 min"_s, 2.0 }, { u"5 min"_s, 5.0 } },
        u"Trail length"_s, preferences, &Preferences::trailMinutes, &Preferences::setTrailMinutes,
        &Preferences::trailMinutesChanged, this);
    SegmentedControl *width =
        boundSegments<double>({ { u"Thin"_s, 1.0 }, { u"Regular"_s, 2.0 }, { u"Thick"_s, 3.5 } },
            u"Trail width"_s, preferences, &Preferences::trailWidth, &Preferences::setTrailWidth,
            &Preferences::trailWidthChanged, this);
    trails->addLayout(labelled(u"Length"_s, length, this));
    trails->addLayout(labelled(u"Width"_s, width, this));
    const auto enableTrailPickers = [preferences, length, width] {
        length->setEnabled(preferences->showTrails());
        width->setEnabled(preferences->showTrails());
    };
    enableTrailPickers();
    connect(preferences, &Preferences::showTrailsChanged, this, enableTrailPickers);
    trails->addWidget(caption(u"Each aircraft drags its recent path. Longer trails build up over "
                              "a few minutes of watching. Also in View → Show Flight Trails "
                              "(Ctrl+Shift+T)."_s,
        this));

    QVBoxLayout *style = addSection(pane, u"Map style"_s);
    using Style = Preferences::MapStyle;
    style->addWidget(boundSegments<Style>(
        { { u"Standard"_s, Style::Standard }, { u"Muted"_s, Style::Muted },
            { u"Satellite"_s, Style::Imagery }, { u"Hybrid"_s, Style::Hybrid } },
        u"Map style"_s, preferences, &Preferences::mapStyleChoice, &Preferences::setMapStyleChoice,
        &Preferences::mapStyleChoiceChanged, this));
    style->addWidget(caption(u"Muted grays out the basemap so aircraft markers dominate. On "
                             "Satellite and Hybrid, the range ring switches to white "
                             "automatically."_s,
        this));

    QVBoxLayout *widgets = addSection(pane, u"Widgets"_s);
    widgets->addWidget(plainLabel(u"Widget accent"_s, this));
    widgets->addWidget(boundSwatches(
        { u"#73FF99"_s, u"#FFBF00"_s, u"#7FD8FF"_s, u"#FF7A66"_s, u"#C57FFF"_s, u"#FFFFFF"_s },
        Keys::widgetColorHex.fallback, preferences, &Preferences::widgetColorHex,
        &Preferences::setWidgetColorHex, &Preferences::widgetColorHexChanged, this));
    widgets->addWidget(caption(u"Accent color for the widget radar scopes — blips, text, and a "
                               "matching dark background. Military gold and emergency red stay "
                               "fixed. Widgets pick up the change within a few minutes."_s,
        this));

    auto *reset = new QPushButton(u"Reset to Defaults"_s, this);
    connect(reset, &QPushButton::clicked, preferences, &Preferences::resetToDefaults);
    auto *resetRow = new QHBoxLayout;
    resetRow->addWidget(reset);
    resetRow->addStretch(1);
    pane->addLayout(resetRow);
}
