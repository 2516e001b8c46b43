// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radarmaprenderer.h"

#include <QWidget>

class Preferences;

// The sample aircraft's map marker as the map would draw it now: colour, size, contrast and
// symbols follow the preferences.
class MarkerPreview : public QWidget {
    Q_OBJECT
public:
    MarkerPreview(Preferences *preferences, QWidget *parent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Preferences *m_preferences;
    RadarMapRenderer m_renderer;
};
