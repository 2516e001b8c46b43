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

/// The aircraft that match at least one of @p filters (all when empty) and whose name, type
/// code, type name or registration contains the trimmed search text, case-insensitively.
/// Feed order is kept.
QList<Aircraft> displayed(const QList<Aircraft> &aircraft, const QSet<AircraftFilter> &filters,
    const QString &searchText);

/// "All Aircraft", the one selected filter's title, or "3 Filters".
QString label(const QSet<AircraftFilter> &filters);

} // namespace AircraftFilters
