// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "aircraftdecoder.h"
#include "homelocation.h"
#include "reply.h"
#include "services.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QNetworkAccessManager;

/// A successful answer: the aircraft nearest first, and the name of the source that gave it.
struct FeedResult {
    QList<Aircraft> aircraft;
    QString source;
};

class FeedFetch;

/// Asks the aggregators which aircraft are near a point.
namespace ADSB {

/// One aggregator: its display name and how it builds a query address.
struct Source {
    QString name;
    std::function<QString(double latitude, double longitude, int radiusNM)> url;
};

/// The aggregators in the order they are asked: primary, then secondary.
QList<Source> sources(const Services &services);

/// The radius sent to the aggregators: rounded half away from zero, then kept within 1 … 250.
int queryRadius(double radiusNM);

/// Keeps the aircraft that have a position no older than 60 s, and sorts them nearest first
/// (stable; aircraft without a distance go last in feed order). Pass the list in by move: a
/// shared one is copied aircraft by aircraft.
QList<Aircraft> usableAircraft(QList<Aircraft> list);

/// Starts one query. The returned object (a child of @p parent) finishes with a result or an
/// error text, unless it is cancelled first. Every source gets the time-out of @p options from
/// its request to the end of its answer, and answers are capped at its size.
FeedFetch *fetch(QNetworkAccessManager *network, const Services &services, const HomeLocation &home,
    double radiusNM, const RequestOptions &options, QObject *parent);

} // namespace ADSB

/// One call of ADSB::fetch: asks the sources one after the other and reports the first useful
/// answer. On failure, errorText() names the source asked last and what went wrong with it.
class FeedFetch : public Reply {
    Q_OBJECT
public:
    FeedFetch(QNetworkAccessManager *network, QList<ADSB::Source> sources,
        const RequestOptions &options, const HomeLocation &home, double radiusNM, QObject *parent);

    /// The answer once finished without an error.
    const std::optional<FeedResult> &result() const { return m_result; }

private:
    void start() override;
    void handleAnswer(QNetworkReply *reply, Abort abort) override;
    void askNext();

    QList<ADSB::Source> m_sources;
    double m_latitude;
    double m_longitude;
    int m_radius;
    qsizetype m_next = 0;
    QString m_currentName;
    // An empty answer, kept in case no later source has aircraft.
    std::optional<FeedResult> m_held;
    std::optional<QString> m_lastError;
    std::optional<FeedResult> m_result;
    AircraftDecoder m_decoder;
};
