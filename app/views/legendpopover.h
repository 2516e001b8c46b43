// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "popover.h"

class Preferences;
class QPushButton;
class QScrollArea;

// The toolbar's "Legend" popover, 360 points wide: the map's marks and the widgets', and a
// link to the full guide. Escape or a click outside closes it.
class LegendPopover : public Popover {
    Q_OBJECT
public:
    explicit LegendPopover(Preferences *preferences, QWidget *parent = nullptr);

    // The legends scroll when the screen below the button is too short for them.
    void popup(QWidget *anchor) override;

    QPushButton *helpLink() const { return m_helpLink; }

Q_SIGNALS:
    // "Full guide in Skyvelle Help" was pressed; the popover has closed.
    void helpRequested();

private:
    QPushButton *m_helpLink;
    QScrollArea *m_scroll = nullptr;
};
