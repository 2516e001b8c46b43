// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>

class Preferences;
class QPushButton;
class QScrollArea;

// The toolbar's "Legend" popover, 360 points wide: the map's marks and the widgets', and a
// link to the full guide. Escape or a click outside closes it.
class LegendPopover : public QFrame {
    Q_OBJECT
public:
    explicit LegendPopover(Preferences *preferences, QWidget *parent = nullptr);

    // Opens it under @p anchor (its toolbar button), kept on that screen; the legends scroll
    // when the screen below the button is too short for them.
    void popup(QWidget *anchor);

    QPushButton *helpLink() const { return m_helpLink; }

Q_SIGNALS:
    // "Full guide in Skyvelle Help" was pressed; the popover has closed.
    void helpRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPushButton *m_helpLink;
    QScrollArea *m_scroll = nullptr;
};
