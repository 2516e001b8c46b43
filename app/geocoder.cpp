// SPDX-License-Identifier: GPL-3.0-or-later
#include "geocoder.h"

#include "geocodereply.h"
#include "homelocation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QUrlQuery>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

std::optional<double> coordinate(const QJsonValue &value)
{
    double number = 0.0;
    if (value.isDouble()) {
        number = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        number = QLocale::c().toDouble(value.toString(), &ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

QString firstText(const QJsonObject &object, std::initializer_list<QLatin1StringView> keys)
{
    for (const QLatin1StringView key : keys) {
        const QString text = object.value(key).toString().trimmed();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

} // namespace

QString Geocoder::Place::homeLabel() const
{
    QStringList parts;
    if (!locality.isEmpty())
        parts.append(locality);
    if (!administrativeArea.isEmpty())
        parts.append(administrativeArea);
    return parts.isEmpty() ? u"Home"_s : parts.join(u", "_s);
}

Geocoder::Geocoder(QNetworkAccessManager *network, const Services &services,
    const RequestOptions &options, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_options(options)
{
    m_searchUrl = services.geocoder;
    QString path = m_searchUrl.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    m_searchUrl.setPath(path + u"/search"_s);
}

Geocoder::Answer Geocoder::decode(const QByteArray &bytes)
{
    Answer answer;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return answer;
    const QJsonArray results = document.array();
    if (results.isEmpty()) {
        answer.outcome = Answer::Outcome::NoMatch;
        return answer;
    }
    if (!results.first().isObject())
        return answer;
    const QJsonObject first = results.first().toObject();

    const std::optional<double> latitude = coordinate(first.value("lat"_L1));
    const std::optional<double> longitude = coordinate(first.value("lon"_L1));
    if (!latitude || !longitude || !HomeLocation::isValidCoordinate(*latitude, *longitude)) {
        answer.outcome = Answer::Outcome::NoMatch;
        return answer;
    }

    Place &place = answer.place;
    place.latitude = *latitude;
    place.longitude = *longitude;
    place.displayName = first.value("display_name"_L1).toString().trimmed();
    const QJsonObject address = first.value("address"_L1).toObject();
    place.locality = firstText(address, { "city"_L1, "town"_L1, "village"_L1, "hamlet"_L1 });
    place.administrativeArea = firstText(address, { "state"_L1, "region"_L1, "county"_L1 });
    place.country = firstText(address, { "country"_L1 });
    place.countryCode = firstText(address, { "country_code"_L1 });
    place.postcode = firstText(address, { "postcode"_L1 });
    answer.outcome = Answer::Outcome::Match;
    return answer;
}

GeocodeReply *Geocoder::lookUp(const QString &address, QObject *parent)
{
    if (address.trimmed().isEmpty())
        return nullptr;
    if (m_current)
        m_current->cancel();

    QUrl url = m_searchUrl;
    QUrlQuery query;
    query.addQueryItem(u"q"_s, address);
    query.addQueryItem(u"format"_s, u"jsonv2"_s);
    query.addQueryItem(u"addressdetails"_s, u"1"_s);
    query.addQueryItem(u"limit"_s, u"1"_s);
    url.setQuery(query);
    m_current = new GeocodeReply(m_network, url, m_options, parent);
    return m_current;
}
