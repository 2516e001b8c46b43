// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>

class Preferences;

// The aircraft of the list (the store's displayed aircraft), one row each, in their order.
//
// Each poll is applied as the smallest edit it can find: rows of aircraft that left are
// removed, arrivals inserted, aircraft that changed place moved (those that kept their order
// among the others stay put) and changed rows refreshed, so that the selection, the current
// row and the scroll position survive every poll. The model is never reset.
class AircraftListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        AircraftRole = Qt::UserRole + 1, // the Aircraft value
        HexRole,
        // The accessibility text is also under Qt::AccessibleTextRole, where screen readers
        // look for it.
        AccessibilityTextRole,
    };

    // Reads the distance unit of the accessibility text from @p preferences.
    explicit AircraftListModel(Preferences *preferences, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<Aircraft> &aircraft() const { return m_rows; }
    // The row of the aircraft with this hex; -1 when it is not listed.
    int rowOf(const QString &hex) const;

    // Turns the rows into @p aircraft, in place.
    void setAircraft(const QList<Aircraft> &aircraft);

private:
    const Aircraft &rowAircraft(int row) const;

    // The aircraft of the last poll, in row order between polls. While a poll is applied the
    // rows move through m_order (cheap integers) rather than through the aircraft themselves.
    QList<Aircraft> m_rows;
    QList<Aircraft> m_incoming; // the poll being applied
    QList<int> m_order; // row → index in m_rows, or -1 - index in m_incoming
    // One key per row: the hex, made unique should a feed ever list the same hex twice.
    QList<QString> m_keys;
    Preferences *m_preferences;
};
