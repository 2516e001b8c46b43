// SPDX-License-Identifier: GPL-3.0-or-later
#include "flightstore.h"

#include "adsb.h"
#include "preferences.h"
#include "sharedstate.h"
#include "textutil.h"

#include <QNetworkAccessManager>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int pollIntervalMs = 5000;
constexpr double samePositionDegrees = 0.000001;

} // namespace

FlightStore::FlightStore(Preferences *preferences, QNetworkAccessManager *network,
    const Services &services, const QString &sharedDirectory, QObject *parent, int requestTimeoutMs)
    : QObject(parent)
    , m_preferences(preferences)
    , m_network(network)
    , m_services(services)
    , m_sharedDirectory(sharedDirectory)
    , m_requestTimeoutMs(requestTimeoutMs)
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    // A saved blob that does not decode means no home, and stays where it is.
    if (const QByteArray saved = m_preferences->homeLocation(); !saved.isEmpty())
        m_home = HomeLocation::fromJsonBytes(saved);
    m_radiusNM = m_preferences->radiusNM();

    shareWithWidgets();

    m_timer.setInterval(pollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &FlightStore::tick);
    m_timer.start();
    fetchNow();
}

FlightStore::~FlightStore() = default;

void FlightStore::setHome(const std::optional<HomeLocation> &home)
{
    // A poll for the old home must not land after the change; fetchNow() alone would leave it
    // running when there is no new home or the store is paused.
    cancelPoll();
    m_home = home;
    Q_EMIT homeChanged();
    persistHome();

    m_aircraft.clear();
    m_displayedCurrent = false;
    m_selectedHex.clear();
    m_lastUpdated = QDateTime();
    m_lastError.clear();
    Q_EMIT aircraftChanged();
    Q_EMIT displayedAircraftChanged();
    Q_EMIT selectedHexChanged();
    Q_EMIT lastUpdatedChanged();
    Q_EMIT lastErrorChanged();

    fetchNow();
}

void FlightStore::setRadiusNM(double radiusNM)
{
    m_radiusNM = radiusNM;
    m_preferences->setRadiusNM(radiusNM);
    Q_EMIT radiusNMChanged();
    shareWithWidgets();
    fetchNow();
}

void FlightStore::setPaused(bool paused)
{
    const bool changed = m_paused != paused;
    m_paused = paused;
    if (changed)
        Q_EMIT pausedChanged();
    if (!paused)
        fetchNow();
}

void FlightStore::setSelectedHex(const QString &hex)
{
    if (m_selectedHex == hex)
        return;
    m_selectedHex = hex;
    Q_EMIT selectedHexChanged();
}

std::optional<Aircraft> FlightStore::selectedAircraft() const
{
    if (m_selectedHex.isEmpty())
        return std::nullopt;
    for (const Aircraft &a : m_aircraft) {
        if (a.hex == m_selectedHex)
            return a;
    }
    return std::nullopt;
}

void FlightStore::setActiveFilters(const QSet<AircraftFilter> &filters)
{
    if (m_activeFilters == filters)
        return;
    m_activeFilters = filters;
    updateSelection();
    Q_EMIT activeFiltersChanged();
    Q_EMIT displayedAircraftChanged();
}

void FlightStore::setSearchText(const QString &text)
{
    if (m_searchText == text)
        return;
    m_searchText = text;
    updateSelection();
    Q_EMIT searchTextChanged();
    Q_EMIT displayedAircraftChanged();
}

void FlightStore::updateSelection()
{
    m_selection = AircraftFilters::Selection(m_activeFilters, m_searchText);
    m_displayedCurrent = false;
    // Showing everything needs no list of its own; the copies of an old one would linger.
    if (m_selection.isEverything())
        m_displayed = {};
}

QList<Aircraft> FlightStore::displayedAircraft() const
{
    if (m_selection.isEverything())
        return m_aircraft;
    if (!m_displayedCurrent) {
        m_selection.select(m_aircraft, m_displayed);
        m_displayedCurrent = true;
    }
    return m_displayed;
}

QString FlightStore::filterLabel() const
{
    return AircraftFilters::label(m_activeFilters);
}

void FlightStore::tick()
{
    // A poll still waiting on a slow source is left to finish: cancelling it here would restart
    // at the primary every five seconds and never reach the secondary.
    if (m_fetch)
        return;
    fetchNow();
}

void FlightStore::fetchNow()
{
    if (!m_home || m_paused)
        return;
    cancelPoll();
    const RequestOptions options { m_services.userAgent(), m_requestTimeoutMs };
    FeedFetch *fetch = ADSB::fetch(m_network, m_services, *m_home, m_radiusNM, options, this);
    m_fetch = fetch;
    connect(fetch, &Reply::finished, this, [this, fetch] {
        fetch->deleteLater();
        if (m_fetch == fetch)
            m_fetch = nullptr;
        if (fetch->result())
            apply(*fetch->result());
        else
            fail(fetch->errorText());
    });
}

void FlightStore::cancelPoll()
{
    if (!m_fetch)
        return;
    m_fetch->cancel();
    m_fetch->deleteLater();
    m_fetch = nullptr;
}

void FlightStore::apply(const FeedResult &result)
{
    // The last answer's records go together: the displayed list keeps its buffer, not its copies.
    m_displayed.clear();
    m_displayedCurrent = false;
    m_aircraft = result.aircraft;
    m_lastUpdated = m_clock();
    const bool hadError = !m_lastError.isEmpty();
    m_lastError.clear();
    const bool sourceChanged = m_activeSource != result.source;
    m_activeSource = result.source;

    updateTrails();

    const bool selectionGone = !m_selectedHex.isEmpty() && !selectedAircraft();
    if (selectionGone)
        m_selectedHex.clear();

    Q_EMIT aircraftChanged();
    Q_EMIT displayedAircraftChanged();
    Q_EMIT lastUpdatedChanged();
    if (hadError)
        Q_EMIT lastErrorChanged();
    if (sourceChanged)
        Q_EMIT activeSourceChanged();
    Q_EMIT trailsChanged();
    if (selectionGone)
        Q_EMIT selectedHexChanged();

    Q_EMIT answerApplied(m_aircraft);
}

void FlightStore::updateTrails()
{
    const qsizetype maxPoints = m_preferences->trailPointLimit();
    // Each trail moves from the last poll's table into this poll's, so it is extended in place
    // rather than copied, and what stays behind belongs to aircraft that left. When the map
    // still shares the last table, moving out of it would copy the whole table first; copying
    // the trails that are kept is cheaper then.
    const bool sole = m_trails.isDetached();
    QHash<QString, QList<LatLon>> trails;
    trails.reserve(m_aircraft.size());
    // Backwards, so that of two records with one hex the later one decides the trail, as when
    // each record replaced the one before it.
    for (auto a = m_aircraft.crbegin(); a != m_aircraft.crend(); ++a) {
        const auto position = a->coordinate();
        if (!position)
            continue;
        QList<LatLon> points;
        if (!sole) {
            if (trails.contains(a->hex))
                continue;
            points = m_trails.value(a->hex);
        } else if (const auto it = m_trails.find(a->hex); it != m_trails.end()) {
            // Trails hold at least the latest position (the limit is six points or more), so
            // an empty one was taken by a later record of the same hex.
            if (it->isEmpty())
                continue;
            points = std::exchange(*it, {});
        } else if (trails.contains(a->hex)) {
            continue;
        }
        const bool moved = points.isEmpty()
            || std::abs(points.last().latitude - position->latitude) > samePositionDegrees
            || std::abs(points.last().longitude - position->longitude) > samePositionDegrees;
        if (moved) {
            // A full trail drops its oldest point first, so it never outgrows its buffer.
            if (points.size() >= maxPoints) {
                std::move(points.begin() + 1, points.end(), points.begin());
                points.removeLast();
            }
            points.append(*position);
        }
        if (points.size() > maxPoints)
            points.remove(0, points.size() - maxPoints);
        trails.insert(a->hex, std::move(points));
    }
    m_trails = std::move(trails);
}

void FlightStore::fail(const QString &message)
{
    if (m_lastError == message)
        return;
    m_lastError = message;
    Q_EMIT lastErrorChanged();
}

void FlightStore::persistHome()
{
    const auto bytes = m_home ? m_home->toJsonBytes() : std::nullopt;
    if (bytes)
        m_preferences->setHomeLocation(*bytes);
    else
        m_preferences->removeHomeLocation();
    shareWithWidgets();
}

void FlightStore::shareWithWidgets()
{
    if (!m_home) {
        if (!SharedState::read(m_sharedDirectory))
            return;
        SharedState::clear(m_sharedDirectory);
        requestWidgetReload();
        return;
    }
    const QString unit = m_preferences->distanceUnitText();
    const QString color = m_preferences->widgetColorHex();
    if (const auto existing = SharedState::read(m_sharedDirectory)) {
        // A file without the unit or the colour means the preferences' own fallbacks.
        const auto &unitKey = PreferenceKeys::distanceUnit;
        const QString existingUnit =
            existing->distanceUnit.value_or(unitKey.text(unitKey.fallback));
        const QString existingColor =
            existing->widgetColorHex.value_or(QString(PreferenceKeys::widgetColorHex.fallback));
        if (existing->home.latitude == m_home->latitude
            && existing->home.longitude == m_home->longitude
            && existing->home.label == m_home->label && existing->radiusNM == m_radiusNM
            && existingUnit == unit && existingColor == color)
            return;
    }
    SharedState::write(SharedState::Config { *m_home, m_radiusNM, unit, color }, m_sharedDirectory);
    requestWidgetReload();
}

void FlightStore::requestWidgetReload()
{
    // The widget process watches the shared file's folder, so the write or removal above is
    // itself the reload; this signal marks the one place that asks for it.
    Q_EMIT widgetReloadRequested();
}

void FlightStore::loadRoute(const Aircraft &aircraft)
{
    if (!aircraft.flight)
        return;
    const QString callsign = TextUtil::trimSpacesAndTabs(*aircraft.flight);
    // Only airline-style callsigns have routes; registrations such as "N757LY" are not looked
    // up. Looser than the airline test on purpose: the fourth character need not be a digit.
    if (callsign.size() < 4 || !callsign.at(0).isLetter() || !callsign.at(1).isLetter()
        || !callsign.at(2).isLetter())
        return;
    if (m_routes.contains(callsign) || m_routeMisses.contains(callsign)
        || m_routeLookups.contains(callsign))
        return;

    m_routeLookups.insert(callsign);
    RouteReply *reply = RouteAPI::fetch(m_network, m_services, callsign, lookupOptions(), this);
    connect(reply, &Reply::finished, this, [this, reply, callsign] {
        reply->deleteLater();
        m_routeLookups.remove(callsign);
        // Whatever the failure, the route stays unknown for this run.
        if (!reply->value()) {
            m_routeMisses.insert(callsign);
            return;
        }
        m_routes.insert(callsign, *reply->value());
        Q_EMIT routesChanged();
    });
}

void FlightStore::loadPhoto(const Aircraft &aircraft)
{
    const QString &key = aircraft.hex;
    if (m_photos.contains(key) || m_photoMisses.contains(key) || m_photoLookups.contains(key))
        return;

    m_photoLookups.insert(key);
    PhotoReply *reply = PhotoAPI::fetch(m_network, m_services, key, lookupOptions(), this);
    connect(reply, &Reply::finished, this, [this, reply, key] {
        reply->deleteLater();
        m_photoLookups.remove(key);
        if (!reply->value()) {
            m_photoMisses.insert(key);
            return;
        }
        m_photos.insert(key, *reply->value());
        Q_EMIT photosChanged();
    });
}

RequestOptions FlightStore::lookupOptions() const
{
    return RequestOptions { m_services.userAgentWithContact(), m_requestTimeoutMs };
}
