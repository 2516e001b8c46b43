// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QColor>

// A 22-point colour disc with a thin ring, stronger while it is the current colour. Without a
// colour it draws a rainbow ring: the button that opens the colour picker.
class ColorSwatch : public QAbstractButton {
    Q_OBJECT
public:
    ColorSwatch(const QColor &color, QWidget *parent);

    bool isCurrent() const { return m_current; }
    void setCurrent(bool current);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
    bool m_current = false;
};
