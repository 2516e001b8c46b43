// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "requestoptions.h"
#include "services.h"
#include "valuereply.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;

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

/// Asks the route database which airports a callsign flies between.
namespace RouteAPI {

/// The query address: @p base + "/v0/callsign/" + the callsign percent-encoded as one path
/// segment. Empty when the result is not an http(s) address with a host, or when the callsign
/// is empty, "." or ".." (which would name another resource).
QUrl url(const QUrl &base, const QString &callsign);

/// Decodes an answer body. Absent when it is not JSON, has no "response" object, has a used
/// member of the wrong type, lacks the route or either airport, or an airport has no code.
std::optional<FlightRoute> decode(const QByteArray &body);

} // namespace RouteAPI

/// One call of RouteAPI::fetch.
using RouteReply = ValueReply<FlightRoute, RouteAPI::decode>;

namespace RouteAPI {

/// Starts one lookup for @p callsign (passed as is: the caller trims it). The returned object,
/// a child of @p parent, finishes once with the route or an error text, never from inside this
/// call. An answer without a route is an error.
RouteReply *fetch(QNetworkAccessManager *network, const Services &services, const QString &callsign,
    const RequestOptions &options, QObject *parent);

} // namespace RouteAPI
