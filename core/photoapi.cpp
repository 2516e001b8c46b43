// SPDX-License-Identifier: GPL-3.0-or-later
#include "photoapi.h"

#include "lookupsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace PhotoAPI {

QUrl url(const QUrl &base, const QString &hex)
{
    return LookupSupport::keyedUrl(base, u"/pub/photos/hex/"_s, hex);
}

std::optional<PlanePhoto> decode(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;

    const QJsonValue photos = document.object().value("photos"_L1);
    if (!photos.isArray() || photos.toArray().isEmpty())
        return std::nullopt;
    // Later photos are never looked at, so they cannot spoil the first.
    const QJsonValue first = photos.toArray().first();
    if (!first.isObject())
        return std::nullopt;
    const QJsonObject photo = first.toObject();

    std::optional<QJsonObject> thumbnail;
    std::optional<QString> source;
    std::optional<QString> link;
    std::optional<QString> photographer;
    if (!LookupSupport::readObject(photo, "thumbnail_large"_L1, thumbnail) || !thumbnail
        || !LookupSupport::readText(*thumbnail, "src"_L1, source) || !source
        || !LookupSupport::readText(photo, "link"_L1, link)
        || !LookupSupport::readText(photo, "photographer"_L1, photographer))
        return std::nullopt;

    const auto thumbnailURL = LookupSupport::webUrl(*source);
    if (!thumbnailURL)
        return std::nullopt;
    return PlanePhoto { *thumbnailURL, link ? LookupSupport::webUrl(*link) : std::nullopt,
        photographer };
}

PhotoReply *fetch(QNetworkAccessManager *network, const Services &services, const QString &hex,
    const RequestOptions &options, QObject *parent)
{
    return new PhotoReply(network, url(services.photos, hex), options, parent);
}

} // namespace PhotoAPI
