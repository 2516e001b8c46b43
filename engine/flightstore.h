// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "adsb.h"
#include "aircraft.h"
#include "aircraftfilter.h"
#include "homelocation.h"
#include "photoapi.h"
#include "routeapi.h"
#include "services.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class Preferences;
class QNetworkAccessManager;

/// The application's live model of the sky.
///
/// Holds the home and the radius (kept in the preferences), polls the feed every five seconds,
/// and publishes the latest aircraft nearest first, their trails, the selection, the filters
/// and search, and the state of the last poll. Keeps the widgets' shared file current.
/// After each successful poll it hands the full list on through answerApplied().
class FlightStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(double radiusNM READ radiusNM WRITE setRadiusNM NOTIFY radiusNMChanged)
    Q_PROPERTY(bool paused READ isPaused WRITE setPaused NOTIFY pausedChanged)
    Q_PROPERTY(QString selectedHex READ selectedHex WRITE setSelectedHex NOTIFY selectedHexChanged)
    Q_PROPERTY(QList<Aircraft> aircraft READ aircraft NOTIFY aircraftChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QDateTime lastUpdated READ lastUpdated NOTIFY lastUpdatedChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QString activeSource READ activeSource NOTIFY activeSourceChanged)

public:
    using Clock = std::function<QDateTime()>;

    /// Reads the saved home and radius, shares them with the widgets, and starts polling.
    /// @p sharedDirectory is where the widgets' file lives; @p requestTimeoutMs bounds each of
    /// the store's requests (tests shorten it).
    FlightStore(Preferences *preferences, QNetworkAccessManager *network, const Services &services,
        const QString &sharedDirectory, QObject *parent = nullptr,
        int requestTimeoutMs = RequestOptions::defaultTimeoutMs);
    ~FlightStore() override;

    /// Replaces the wall clock that stamps lastUpdated (for tests).
    void setClock(Clock clock) { m_clock = std::move(clock); }

    const std::optional<HomeLocation> &home() const { return m_home; }
    /// Saves the home (or forgets it), shares it, clears the list and polls at once.
    void setHome(const std::optional<HomeLocation> &home);

    double radiusNM() const { return m_radiusNM; }
    /// Saves the radius, shares it and polls at once. The feed client clamps it.
    void setRadiusNM(double radiusNM);

    bool isPaused() const { return m_paused; }
    /// Pausing lets a poll in flight finish; resuming polls at once.
    void setPaused(bool paused);

    /// The hex of the selected aircraft; empty when nothing is selected.
    const QString &selectedHex() const { return m_selectedHex; }
    void setSelectedHex(const QString &hex);
    /// The selected aircraft when it is in the current list.
    std::optional<Aircraft> selectedAircraft() const;

    /// The last answer, nearest first.
    const QList<Aircraft> &aircraft() const { return m_aircraft; }
    /// Recent positions per hex, oldest first.
    const QHash<QString, QList<LatLon>> &trails() const { return m_trails; }

    const QSet<AircraftFilter> &activeFilters() const { return m_activeFilters; }
    void setActiveFilters(const QSet<AircraftFilter> &filters);
    const QString &searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    /// What the list and the map show: the aircraft through the filters and the search.
    QList<Aircraft> displayedAircraft() const;
    /// The text of the filter menu button.
    QString filterLabel() const;

    /// Time of the last successful poll; null when none since the home was set.
    const QDateTime &lastUpdated() const { return m_lastUpdated; }
    /// The last failed poll's message; empty after a success.
    const QString &lastError() const { return m_lastError; }
    /// Display name of the source of the last answer; empty before the first.
    const QString &activeSource() const { return m_activeSource; }

    /// Routes found so far, by trimmed callsign. Kept for the whole run.
    const QHash<QString, FlightRoute> &routes() const { return m_routes; }
    /// Photos found so far, by hex as the feed writes it. Kept for the whole run.
    const QHash<QString, PlanePhoto> &photos() const { return m_photos; }
    /// Callsigns and hex codes whose lookup found nothing; they are not asked again this run.
    const QSet<QString> &routeMisses() const { return m_routeMisses; }
    const QSet<QString> &photoMisses() const { return m_photoMisses; }
    /// Callsigns and hex codes whose lookup is running.
    const QSet<QString> &routeLookups() const { return m_routeLookups; }
    const QSet<QString> &photoLookups() const { return m_photoLookups; }

    /// Looks up the route of the aircraft's callsign when it is airline-style (four or more
    /// characters, the first three letters) and not found, missed or being looked up already.
    void loadRoute(const Aircraft &aircraft);
    /// Looks up a photo of the aircraft unless one was found, missed or is being looked up.
    void loadPhoto(const Aircraft &aircraft);

    /// The service addresses the store was made with.
    const Services &services() const { return m_services; }
    /// How the route, photo and image lookups identify themselves and how long they may take.
    RequestOptions lookupOptions() const;

    /// Whether a poll is in flight.
    bool isPolling() const { return m_fetch != nullptr; }

    /// Cancels any poll in flight and starts a fresh one (nothing without a home or while paused).
    void fetchNow();
    /// Rewrites or removes the widgets' file when what they show has changed, then asks them
    /// to reload.
    void shareWithWidgets();

Q_SIGNALS:
    void homeChanged();
    void radiusNMChanged();
    void pausedChanged();
    void selectedHexChanged();
    void aircraftChanged();
    void trailsChanged();
    void activeFiltersChanged();
    void searchTextChanged();
    /// The list, the filters or the search changed.
    void displayedAircraftChanged();
    void lastUpdatedChanged();
    void lastErrorChanged();
    void activeSourceChanged();
    void routesChanged();
    void photosChanged();
    /// A successful poll was applied; @p aircraft is the full, unfiltered list.
    void answerApplied(const QList<Aircraft> &aircraft);
    /// The widgets should rebuild from the shared file.
    void widgetReloadRequested();

private:
    void tick();
    void cancelPoll();
    void persistHome();
    void apply(const FeedResult &result);
    void updateTrails();
    void updateSelection();
    void fail(const QString &message);
    void requestWidgetReload();

    Preferences *m_preferences;
    QNetworkAccessManager *m_network;
    Services m_services;
    QString m_sharedDirectory;
    int m_requestTimeoutMs;
    Clock m_clock;

    std::optional<HomeLocation> m_home;
    double m_radiusNM = 25.0;
    bool m_paused = false;
    QString m_selectedHex;
    QList<Aircraft> m_aircraft;
    QSet<AircraftFilter> m_activeFilters;
    QString m_searchText;
    AircraftFilters::Selection m_selection;
    // The list and the map both ask for the displayed list after each change: it is built for
    // the first, and rebuilt in the same buffer after the next change.
    mutable QList<Aircraft> m_displayed;
    mutable bool m_displayedCurrent = false;
    QHash<QString, QList<LatLon>> m_trails;
    QDateTime m_lastUpdated;
    QString m_lastError;
    QString m_activeSource;

    QHash<QString, FlightRoute> m_routes;
    QHash<QString, PlanePhoto> m_photos;
    QSet<QString> m_routeMisses;
    QSet<QString> m_routeLookups;
    QSet<QString> m_photoMisses;
    QSet<QString> m_photoLookups;

    QTimer m_timer;
    QPointer<FeedFetch> m_fetch;
};
