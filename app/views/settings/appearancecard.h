// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>

// One choice of the appearance picker: a 118 × 80 miniature window, light, dark or split
// down the middle for "Automatic", above its label. The chosen card is outlined in the accent.
class AppearanceCard : public QAbstractButton {
    Q_OBJECT
public:
    enum class Look { Automatic, Light, Dark };

    AppearanceCard(Look look, const QString &label, QWidget *parent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Look m_look;
};
