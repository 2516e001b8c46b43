// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QList>
#include <QSet>
#include <QString>

/// The six filters of the aircraft list and the map; they combine with OR.
enum class AircraftFilter {
    emergency,
    military,
    helicopters,
    airliners,
    generalAviation,
    lowAltitude,
};

inline size_t qHash(AircraftFilter filter, size_t seed = 0) noexcept
{
    return ::qHash(int(filter), seed);
}

namespace AircraftFilters {

/// Every filter in menu order.
QList<AircraftFilter> all();
/// The case name, e.g. "generalAviation".
QString rawValue(AircraftFilter filter);
/// The filter menu's title, e.g. "Low Altitude (<2,000 ft)".
QString title(AircraftFilter filter);
/// The symbol shown beside the title in the filter menu.
QString symbolName(AircraftFilter filter);
bool matches(AircraftFilter filter, const Aircraft &aircraft);

/// The filters and the search made ready to test aircraft: the search text is trimmed and
/// lower-cased once here rather than for every aircraft.
class Selection {
public:
    Selection() = default;
    Selection(const QSet<AircraftFilter> &filters, const QString &searchText);

    /// No filter and a blank search: every aircraft is shown.
    bool isEverything() const { return m_filters == 0 && m_query.isEmpty(); }
    /// Whether @p aircraft matches at least one filter (any when there are none) and its name,
    /// type code, type name or registration contains the search text, case-insensitively.
    bool accepts(const Aircraft &aircraft) const;
    /// Replaces the contents of @p result with the accepted aircraft, in feed order. An
    /// unshared @p result keeps its buffer, so a list rebuilt every poll is not reallocated.
    void select(const QList<Aircraft> &aircraft, QList<Aircraft> &result) const;

private:
    unsigned m_filters = 0; // bit n: AircraftFilter n
    QString m_query;
    bool m_asciiQuery = true;
};

/// The aircraft the Selection of @p filters and @p searchText accepts, in feed order.
QList<Aircraft> displayed(const QList<Aircraft> &aircraft, const QSet<AircraftFilter> &filters,
    const QString &searchText);

/// "All Aircraft", the one selected filter's title, or "3 Filters".
QString label(const QSet<AircraftFilter> &filters);

} // namespace AircraftFilters
