// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/aircraftlistmodel.h"

#include "aircraftrowpainter.h"
#include "preferences.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <numeric>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QList<QString> keysOf(const QList<Aircraft> &aircraft)
{
    QList<QString> keys;
    keys.reserve(aircraft.size());
    QHash<QString, int> seen;
    for (const Aircraft &a : aircraft) {
        int &count = seen[a.hex];
        keys << (count == 0 ? a.hex : a.hex + u'#' + QString::number(count));
        ++count;
    }
    return keys;
}

// Marks the elements of the longest strictly increasing subsequence of @p values: the rows
// whose relative order already matches the new list, which need not move.
std::vector<bool> longestIncreasing(const std::vector<int> &values)
{
    const size_t n = values.size();
    std::vector<size_t> tails; // tails[k]: index of the smallest tail of a run of length k + 1
    std::vector<ptrdiff_t> previous(n, -1);
    for (size_t i = 0; i < n; ++i) {
        const auto at = std::lower_bound(
            tails.begin(), tails.end(), values[i], [&](size_t t, int v) { return values[t] < v; });
        if (at != tails.begin())
            previous[i] = ptrdiff_t(*(at - 1));
        if (at == tails.end())
            tails.push_back(i);
        else
            *at = i;
    }
    std::vector<bool> marked(n, false);
    for (ptrdiff_t i = tails.empty() ? -1 : ptrdiff_t(tails.back()); i >= 0;
         i = previous[size_t(i)])
        marked[size_t(i)] = true;
    return marked;
}

} // namespace

AircraftListModel::AircraftListModel(Preferences *preferences, QObject *parent)
    : QAbstractListModel(parent)
    , m_preferences(preferences)
{
    connect(m_preferences, &Preferences::distanceUnitChanged, this, [this] {
        if (!m_order.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_order.size()) - 1),
                { AccessibilityTextRole, Qt::AccessibleTextRole });
    });
}

int AircraftListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

QVariant AircraftListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_order.size())
        return {};
    const Aircraft &a = rowAircraft(index.row());
    switch (role) {
    case AircraftRole:
        return QVariant::fromValue(a);
    case HexRole:
        return a.hex;
    case Qt::DisplayRole:
        // Type-ahead in the list finds aircraft by name.
        return a.displayName();
    case AccessibilityTextRole:
    case Qt::AccessibleTextRole:
        return AircraftRowPainter::accessibilityText(a, m_preferences->distanceUnitText());
    default:
        return {};
    }
}

QHash<int, QByteArray> AircraftListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(AircraftRole, "aircraft");
    names.insert(HexRole, "hex");
    names.insert(AccessibilityTextRole, "accessibilityText");
    return names;
}

const Aircraft &AircraftListModel::rowAircraft(int row) const
{
    const int at = m_order.at(row);
    return at >= 0 ? m_rows.at(at) : m_incoming.at(-1 - at);
}

int AircraftListModel::rowOf(const QString &hex) const
{
    // The first row of a hex has the hex itself as its key.
    return int(m_keys.indexOf(hex));
}

void AircraftListModel::setAircraft(const QList<Aircraft> &next)
{
    m_incoming = next;
    const QList<QString> nextKeys = keysOf(next);
    QHash<QString, int> target;
    target.reserve(nextKeys.size());
    for (qsizetype i = 0; i < nextKeys.size(); ++i)
        target.insert(nextKeys.at(i), int(i));

    // 1. Rows of aircraft that left, in runs from the bottom up.
    for (qsizetype last = m_keys.size() - 1; last >= 0;) {
        if (target.contains(m_keys.at(last))) {
            --last;
            continue;
        }
        qsizetype first = last;
        while (first > 0 && !target.contains(m_keys.at(first - 1)))
            --first;
        beginRemoveRows({}, int(first), int(last));
        m_order.remove(first, last - first + 1);
        m_keys.remove(first, last - first + 1);
        endRemoveRows();
        last = first - 1;
    }

    // 2. The rows that already stand in the new order stay; the others move.
    std::vector<int> places;
    places.reserve(size_t(m_keys.size()));
    for (const QString &key : std::as_const(m_keys))
        places.push_back(target.value(key));
    const std::vector<bool> staying = longestIncreasing(places);
    QSet<QString> kept;
    QSet<QString> stay;
    for (qsizetype i = 0; i < m_keys.size(); ++i) {
        kept.insert(m_keys.at(i));
        if (staying[size_t(i)])
            stay.insert(m_keys.at(i));
    }

    // 3. From the bottom of the new list up, put each aircraft right above the one that
    // follows it (the anchor), which is already in its final place.
    qsizetype anchor = m_keys.size();
    for (qsizetype i = next.size() - 1; i >= 0;) {
        const QString &key = nextKeys.at(i);
        if (!kept.contains(key)) {
            qsizetype first = i;
            while (first > 0 && !kept.contains(nextKeys.at(first - 1)))
                --first;
            beginInsertRows({}, int(anchor), int(anchor + i - first));
            for (qsizetype k = i; k >= first; --k) {
                m_order.insert(anchor, int(-1 - k));
                m_keys.insert(anchor, nextKeys.at(k));
            }
            endInsertRows();
            i = first - 1;
            continue;
        }
        if (stay.contains(key)) {
            // Rows that stay keep their order, so this one is above the anchor.
            qsizetype at = anchor - 1;
            while (m_keys.at(at) != key)
                --at;
            anchor = at;
            --i;
            continue;
        }
        // Aircraft that change place mostly move a few rows, so look near the anchor first.
        qsizetype from = -1;
        for (qsizetype d = 1; from < 0 && (anchor - d >= 0 || anchor + d < m_keys.size()); ++d) {
            if (anchor - d >= 0 && m_keys.at(anchor - d) == key)
                from = anchor - d;
            else if (anchor + d < m_keys.size() && m_keys.at(anchor + d) == key)
                from = anchor + d;
        }
        if (from != anchor - 1) {
            beginMoveRows({}, int(from), int(from), {}, int(anchor));
            const qsizetype to = from < anchor ? anchor - 1 : anchor;
            m_order.move(from, to);
            m_keys.move(from, to);
            endMoveRows();
            anchor = to;
        } else {
            anchor = from;
        }
        --i;
    }

    // 4. Fresh values for the rows that kept their aircraft, announced as one span. The rows
    // now stand in the new order, so the new list can simply be shared.
    qsizetype firstChanged = -1;
    qsizetype lastChanged = -1;
    for (qsizetype i = 0; i < next.size(); ++i) {
        if (rowAircraft(int(i)) == next.at(i))
            continue;
        if (firstChanged < 0)
            firstChanged = i;
        lastChanged = i;
    }
    m_rows = next;
    m_incoming.clear();
    m_order.resize(next.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    if (firstChanged >= 0)
        Q_EMIT dataChanged(index(int(firstChanged)), index(int(lastChanged)));
}
