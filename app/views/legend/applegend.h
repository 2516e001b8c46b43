// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radarmaprenderer.h"

#include <QWidget>

class Preferences;
class QVariantAnimation;

// What each mark of the map and the sidebar means: markers in the user's aircraft colour
// (which it follows), emergency and military markers, the altitude bands, home, the range
// ring, the list's badges and the status light.
class AppLegend : public QWidget {
    Q_OBJECT
public:
    AppLegend(Preferences *preferences, QWidget *parent);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // Runs the halo while shown, unless motion is reduced.
    void updateHalo();

    Preferences *m_preferences;
    RadarMapRenderer m_renderer;
    // One pulse of the selected marker's halo, over and over while shown.
    QVariantAnimation *m_halo;
};
