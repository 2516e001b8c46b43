// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftfilter.h"

#include "airlines.h"
#include "textutil.h"

#include <bit>

using namespace Qt::StringLiterals;

namespace AircraftFilters {

QList<AircraftFilter> all()
{
    return { AircraftFilter::emergency, AircraftFilter::military, AircraftFilter::helicopters,
        AircraftFilter::airliners, AircraftFilter::generalAviation, AircraftFilter::lowAltitude };
}

QString rawValue(AircraftFilter filter)
{
    switch (filter) {
    case AircraftFilter::emergency:
        return u"emergency"_s;
    case AircraftFilter::military:
        return u"military"_s;
    case AircraftFilter::helicopters:
        return u"helicopters"_s;
    case AircraftFilter::airliners:
        return u"airliners"_s;
    case AircraftFilter::generalAviation:
        return u"generalAviation"_s;
    case AircraftFilter::lowAltitude:
        return u"lowAltitude"_s;
    }
    Q_UNREACHABLE();
    return {};
}

QString title(AircraftFilter filter)
{
    switch (filter) {
    case AircraftFilter::emergency:
        return u"Emergency"_s;
    case AircraftFilter::military:
        return u"Military"_s;
    case AircraftFilter::helicopters:
        return u"Helicopters"_s;
    case AircraftFilter::airliners:
        return u"Airliners"_s;
    case AircraftFilter::generalAviation:
        return u"General Aviation"_s;
    case AircraftFilter::lowAltitude:
        return u"Low Altitude (<2,000 ft)"_s;
    }
    Q_UNREACHABLE();
    return {};
}

QString symbolName(AircraftFilter filter)
{
    switch (filter) {
    case AircraftFilter::emergency:
        return u"exclamationmark.triangle"_s;
    case AircraftFilter::military:
        return u"shield"_s;
    case AircraftFilter::helicopters:
        return u"fanblades"_s;
    case AircraftFilter::airliners:
        return u"airplane.departure"_s;
    case AircraftFilter::generalAviation:
        return u"paperplane"_s;
    case AircraftFilter::lowAltitude:
        return u"arrow.down.to.line"_s;
    }
    Q_UNREACHABLE();
    return {};
}

bool matches(AircraftFilter filter, const Aircraft &a)
{
    switch (filter) {
    case AircraftFilter::emergency:
        return a.isEmergency();
    case AircraftFilter::military:
        return a.isMilitary();
    case AircraftFilter::helicopters:
        return a.isHelicopter();
    case AircraftFilter::airliners:
        return Airlines::isAirlineCallsign(a.flight);
    case AircraftFilter::generalAviation:
        return !Airlines::isAirlineCallsign(a.flight) && !a.isMilitary() && !a.isHelicopter();
    case AircraftFilter::lowAltitude: {
        if (a.altBaro)
            return !a.altBaro->isGround() && *a.altBaro->feetValue() < 2000;
        return a.altGeom && *a.altGeom < 2000;
    }
    }
    return false;
}

// Whether ASCII @p text, lower-cased, contains @p query, which is ASCII and lower case.
static bool asciiContains(QStringView text, QStringView query)
{
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    for (qsizetype i = 0, last = text.size() - query.size(); i <= last; ++i) {
        qsizetype j = 0;
        while (j < query.size() && lower(text[i + j].unicode()) == query[j].unicode())
            ++j;
        if (j == query.size())
            return true;
    }
    return false;
}

// Whether @p text lower-cased contains @p query, which is lower case already. ASCII is compared
// in place: the search runs over every aircraft on every poll, and a lower-cased copy of four
// texts each time was most of its cost.
static bool containsLowered(QStringView text, const QString &query, bool asciiQuery)
{
    if (asciiQuery && TextUtil::isAscii(text))
        return asciiContains(text, query);
    return text.toString().toLower().contains(query);
}

// displayName() as a view into the record: the trimmed callsign, else the registration, else
// the hex, which displayName() upper-cases; for an ASCII hex that changes nothing once the
// search lower-cases it, so only another hex needs the built name.
static bool nameMatches(const Aircraft &a, const QString &query, bool asciiQuery)
{
    if (a.flight) {
        const QStringView callsign = TextUtil::trimSpacesAndTabs(QStringView(*a.flight));
        if (!callsign.isEmpty())
            return containsLowered(callsign, query, asciiQuery);
    }
    if (a.registration && !a.registration->isEmpty())
        return containsLowered(*a.registration, query, asciiQuery);
    if (TextUtil::isAscii(a.hex))
        return containsLowered(a.hex, query, asciiQuery);
    return a.displayName().toLower().contains(query);
}

static bool matchesSearch(const Aircraft &a, const QString &query, bool asciiQuery)
{
    if (nameMatches(a, query, asciiQuery))
        return true;
    if (a.typeCode && containsLowered(*a.typeCode, query, asciiQuery))
        return true;
    if (const auto name = a.typeName(); name && containsLowered(*name, query, asciiQuery))
        return true;
    return a.registration && containsLowered(*a.registration, query, asciiQuery);
}

Selection::Selection(const QSet<AircraftFilter> &filters, const QString &searchText)
    : m_query(TextUtil::trimSpacesAndTabs(searchText).toLower())
    , m_asciiQuery(TextUtil::isAscii(m_query))
{
    for (const AircraftFilter filter : filters)
        m_filters |= 1u << unsigned(filter);
}

bool Selection::accepts(const Aircraft &a) const
{
    if (m_filters != 0) {
        bool any = false;
        for (unsigned bits = m_filters; bits != 0 && !any; bits &= bits - 1)
            any = matches(AircraftFilter(std::countr_zero(bits)), a);
        if (!any)
            return false;
    }
    return m_query.isEmpty() || matchesSearch(a, m_query, m_asciiQuery);
}

void Selection::select(const QList<Aircraft> &aircraft, QList<Aircraft> &result) const
{
    result.clear();
    for (const Aircraft &a : aircraft) {
        if (accepts(a))
            result.append(a);
    }
}

QList<Aircraft> displayed(
    const QList<Aircraft> &aircraft, const QSet<AircraftFilter> &filters, const QString &searchText)
{
    const Selection selection(filters, searchText);
    if (selection.isEverything())
        return aircraft;
    QList<Aircraft> result;
    selection.select(aircraft, result);
    return result;
}

QString label(const QSet<AircraftFilter> &filters)
{
    if (filters.isEmpty())
        return u"All Aircraft"_s;
    if (filters.size() == 1)
        return title(*filters.begin());
    return u"%1 Filters"_s.arg(filters.size());
}

} // namespace AircraftFilters
