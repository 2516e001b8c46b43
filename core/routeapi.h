// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "services.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

/// Which airports a flight connects, as the route database knows it.
struct FlightRoute {
    QString originCode; ///< IATA code when the service gives one, else ICAO
    std::optional<QString> originCity; ///< the airport's "municipality"
    QString destinationCode;
    std::optional<QString> destinationCity;

    /// "PDX → SEA".
    QString summary() const;
    /// "Portland → Seattle"; absent unless both cities are known.
    std::optional<QString> citySummary() const;

    friend bool operator==(const FlightRoute &, const FlightRoute &) = default;
};

class RouteLookup;

/// Asks the route database which airports a callsign flies between.
namespace RouteAPI {

/// Every request's transfer time-out.
constexpr int requestTimeoutMs = 8000;

/// The query address: @p base + "/v0/callsign/" + the callsign percent-encoded as one path
/// segment. Empty when the result is not an http(s) address with a host, or when the callsign
/// is empty, "." or ".." (which would name another resource).
QUrl url(const QUrl &base, const QString &callsign);

/// Decodes an answer body. Absent when it is not JSON, has no "response" object, has a used
/// member of the wrong type, lacks the route or either airport, or an airport has no code.
std::optional<FlightRoute> decode(const QByteArray &body);

/// Starts one lookup for @p callsign (passed as is: the caller trims it). The returned object,
/// a child of @p parent, emits RouteLookup::finished exactly once, never from inside this call.
RouteLookup *fetch(QNetworkAccessManager *network, const Services &services,
    const QString &callsign, QObject *parent, int timeoutMs = requestTimeoutMs);

} // namespace RouteAPI

/// One call of RouteAPI::fetch. Owns its network reply; destroying it aborts the request and
/// silences it.
class RouteLookup : public QObject {
    Q_OBJECT
public:
    RouteLookup(QNetworkAccessManager *network, const QUrl &url, const QByteArray &userAgent,
        int timeoutMs, QObject *parent);
    ~RouteLookup() override;

Q_SIGNALS:
    /// The route, or absent for every kind of failure and for an answer without one.
    void finished(const std::optional<FlightRoute> &route);

private:
    void start();
    void handleReply();
    void finish(const std::optional<FlightRoute> &route);

    QNetworkAccessManager *m_network;
    QUrl m_url;
    QByteArray m_userAgent;
    int m_timeoutMs;
    QPointer<QNetworkReply> m_reply;
    bool m_done = false;
};
