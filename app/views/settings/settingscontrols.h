// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "preferences.h"
#include "segmentedcontrol.h"

#include <QCheckBox>
#include <QList>
#include <QString>

#include <algorithm>
#include <cmath>
#include <utility>

class QLabel;
class QVBoxLayout;
class QWidget;

// The building blocks every settings pane is made of, and the bindings that keep a control
// and its preference in step both ways: a control writes its key at once, and follows any
// other writer of the key (a menu, another window).
namespace SettingsControls {

// The pane's column: 26 points of padding and 22 between sections.
QVBoxLayout *paneLayout(QWidget *pane);
// A titled section appended to @p pane; its controls go into the layout returned.
QVBoxLayout *addSection(QVBoxLayout *pane, const QString &title);
// Explanatory text in the secondary style, wrapped.
QLabel *caption(const QString &text, QWidget *parent);

template<typename T>
bool sameOption(const T &a, const T &b)
{
    return a == b;
}
inline bool sameOption(double a, double b)
{
    return std::abs(a - b) < 1e-9;
}

// A toggle bound to one of the preferences' bool properties.
template<typename Changed>
QCheckBox *boundToggle(const QString &text, Preferences *preferences,
    bool (Preferences::*get)() const, void (Preferences::*set)(bool), Changed changed,
    QWidget *parent)
{
    auto *toggle = new QCheckBox(text, parent);
    toggle->setChecked((preferences->*get)());
    QObject::connect(toggle, &QCheckBox::toggled, preferences, set);
    QObject::connect(preferences, changed, toggle,
        [toggle, preferences, get] { toggle->setChecked((preferences->*get)()); });
    return toggle;
}

// A segmented control over @p options (label, stored value) bound to a preference. A stored
// value that is none of the options turns every segment off and is kept until the user picks.
template<typename T, typename Changed>
SegmentedControl *boundSegments(const QList<std::pair<QString, T>> &options,
    const QString &accessibleName, Preferences *preferences, T (Preferences::*get)() const,
    void (Preferences::*set)(T), Changed changed, QWidget *parent)
{
    QStringList labels;
    for (const auto &option : options)
        labels.append(option.first);
    auto *control = new SegmentedControl(labels, accessibleName, parent);
    const auto show = [control, options, preferences, get] {
        const T value = (preferences->*get)();
        const auto found = std::find_if(options.begin(), options.end(),
            [&value](const auto &option) { return sameOption(option.second, value); });
        control->setCurrentIndex(found == options.end() ? -1 : int(found - options.begin()));
    };
    show();
    QObject::connect(control, &SegmentedControl::picked, preferences,
        [options, preferences, set](int index) { (preferences->*set)(options.at(index).second); });
    QObject::connect(preferences, changed, control, show);
    return control;
}

} // namespace SettingsControls
