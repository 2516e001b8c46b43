// SPDX-License-Identifier: GPL-3.0-or-later
#include "routeapi.h"

#include "lookupsupport.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

// One end of a route. Absent when the member is missing, null or of the wrong type, when one of
// its used members has the wrong type, or when it carries no code: each of these means no route.
struct Airport {
    QString code;
    std::optional<QString> city;
};

std::optional<Airport> airport(const QJsonObject &route, QLatin1StringView key)
{
    std::optional<QJsonObject> object;
    if (!LookupSupport::readObject(route, key, object) || !object)
        return std::nullopt;
    std::optional<QString> iata;
    std::optional<QString> icao;
    std::optional<QString> city;
    if (!LookupSupport::readText(*object, "iata_code"_L1, iata)
        || !LookupSupport::readText(*object, "icao_code"_L1, icao)
        || !LookupSupport::readText(*object, "municipality"_L1, city))
        return std::nullopt;
    // The service sends an empty IATA code for airports that have none; the ICAO code stands in
    // rather than leaving a blank end in the summary.
    const QString code = iata ? *iata : icao.value_or(QString());
    if (code.isEmpty())
        return std::nullopt;
    return Airport { code, city };
}

} // namespace

QString FlightRoute::summary() const
{
    return originCode + u" → "_s + destinationCode;
}

std::optional<QString> FlightRoute::citySummary() const
{
    if (!originCity || !destinationCity)
        return std::nullopt;
    return *originCity + u" → "_s + *destinationCity;
}

namespace RouteAPI {

QUrl url(const QUrl &base, const QString &callsign)
{
    return LookupSupport::keyedUrl(base, u"/v0/callsign/"_s, callsign);
}

std::optional<FlightRoute> decode(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;

    // "response" is the one required member; the rest may be missing or null.
    const QJsonValue response = document.object().value("response"_L1);
    if (!response.isObject())
        return std::nullopt;
    std::optional<QJsonObject> route;
    if (!LookupSupport::readObject(response.toObject(), "flightroute"_L1, route) || !route)
        return std::nullopt;

    const auto origin = airport(*route, "origin"_L1);
    const auto destination = airport(*route, "destination"_L1);
    if (!origin || !destination)
        return std::nullopt;
    return FlightRoute { origin->code, origin->city, destination->code, destination->city };
}

RouteReply *fetch(QNetworkAccessManager *network, const Services &services, const QString &callsign,
    const RequestOptions &options, QObject *parent)
{
    return new RouteReply(network, url(services.routes, callsign), options, parent);
}

} // namespace RouteAPI
