// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>

class QVBoxLayout;

// A panel that drops from a toolbar button: a Qt::Popup frame of a fixed width that a click
// outside or Escape closes. A click on its own button while open only closes it.
class Popover : public QFrame {
    Q_OBJECT
public:
    Popover(const QString &accessibleName, int width, QWidget *parent);

    // Opens it under @p anchor, or closes it when it is open.
    void toggle(QWidget *anchor);
    // Opens it under @p anchor (its toolbar button), kept on that screen.
    virtual void popup(QWidget *anchor) = 0;

protected:
    // Lays the popover out as a column that opens with its title in bold; the caller adds the
    // rest with @p spacing between rows.
    QVBoxLayout *titledColumn(int spacing);
    // Moves it under @p anchor, as tall as @p height but no lower than the screen's bottom,
    // and shows it.
    void showUnder(QWidget *anchor, int height);
    void keyPressEvent(QKeyEvent *event) override;
};
