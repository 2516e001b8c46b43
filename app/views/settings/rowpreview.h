// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraftrowpainter.h"

#include <QWidget>

class Preferences;

// The sample aircraft's sidebar row at the current text size, on a rounded panel 340 points
// wide: what the text-size slider changes.
class RowPreview : public QWidget {
    Q_OBJECT
public:
    RowPreview(Preferences *preferences, QWidget *parent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void restyle();

    Preferences *m_preferences;
    AircraftRowPainter m_painter;
};
