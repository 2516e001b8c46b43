// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraftrowpainter.h"

#include <QStyledItemDelegate>

class Preferences;

// The sidebar list's delegate: the style's selection and hover background, then the row as
// AircraftRowPainter draws it with the user's text scale, colours and distance unit.
class AircraftRow : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit AircraftRow(Preferences *preferences, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The row painter with the preferences as they are now.
    const AircraftRowPainter &rowPainter() const;
    static AircraftRowStyle style(const Preferences &preferences);

private:
    Preferences *m_preferences;
    mutable AircraftRowPainter m_painter;
};
