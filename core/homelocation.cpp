// SPDX-License-Identifier: GPL-3.0-or-later
#include "homelocation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLocale>

#include <cmath>

using namespace Qt::StringLiterals;

std::optional<QJsonObject> HomeLocation::toJson() const
{
    if (!std::isfinite(latitude) || !std::isfinite(longitude))
        return std::nullopt;
    return QJsonObject {
        { u"latitude"_s, latitude },
        { u"longitude"_s, longitude },
        { u"label"_s, label },
    };
}

std::optional<QByteArray> HomeLocation::toJsonBytes() const
{
    if (!std::isfinite(latitude) || !std::isfinite(longitude))
        return std::nullopt;
    // Written by hand to keep the declaration order (QJsonObject sorts its keys), so that the
    // settings file reads latitude, longitude, label.
    const auto number = [](double value) {
        return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    };
    const QByteArray quotedLabel =
        QJsonDocument(QJsonArray { label }).toJson(QJsonDocument::Compact);
    return "{\"latitude\":" + number(latitude) + ",\"longitude\":" + number(longitude)
        + ",\"label\":" + quotedLabel.mid(1, quotedLabel.size() - 2) + '}';
}

bool HomeLocation::isValidCoordinate(double latitude, double longitude)
{
    // Written so that NaN fails every comparison and is refused.
    return latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0;
}

std::optional<HomeLocation> HomeLocation::fromJson(const QJsonObject &object)
{
    const QJsonValue latitude = object.value(u"latitude"_s);
    const QJsonValue longitude = object.value(u"longitude"_s);
    const QJsonValue label = object.value(u"label"_s);
    if (!latitude.isDouble() || !longitude.isDouble() || !label.isString())
        return std::nullopt;
    // A hand-edited or damaged home far off the globe would send the map's loops spinning.
    if (!isValidCoordinate(latitude.toDouble(), longitude.toDouble()))
        return std::nullopt;
    return HomeLocation { latitude.toDouble(), longitude.toDouble(), label.toString() };
}

std::optional<HomeLocation> HomeLocation::fromJsonBytes(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromJson(document.object());
}
