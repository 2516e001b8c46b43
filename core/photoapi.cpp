// SPDX-License-Identifier: GPL-3.0-or-later
#include "photoapi.h"

#include "lookupsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

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

PhotoLookup *fetch(QNetworkAccessManager *network, const Services &services, const QString &hex,
    QObject *parent, int timeoutMs)
{
    return new PhotoLookup(
        network, url(services.photos, hex), services.userAgentWithContact(), timeoutMs, parent);
}

} // namespace PhotoAPI

PhotoLookup::PhotoLookup(QNetworkAccessManager *network, const QUrl &url,
    const QByteArray &userAgent, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_url(url)
    , m_userAgent(userAgent)
    , m_timeoutMs(timeoutMs)
{
    // On the next turn of the event loop, so that the caller can connect first.
    QTimer::singleShot(0, this, &PhotoLookup::start);
}

PhotoLookup::~PhotoLookup()
{
    m_done = true;
    if (m_reply)
        m_reply->abort();
}

void PhotoLookup::start()
{
    if (m_url.isEmpty()) {
        finish(std::nullopt);
        return;
    }
    m_reply = m_network->get(LookupSupport::request(m_url, m_userAgent, m_timeoutMs));
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::finished, this, &PhotoLookup::handleReply);
}

void PhotoLookup::handleReply()
{
    QNetworkReply *reply = m_reply;
    m_reply.clear();
    if (!reply)
        return;
    reply->deleteLater();
    const auto body = LookupSupport::okBody(reply);
    finish(body ? PhotoAPI::decode(*body) : std::nullopt);
}

void PhotoLookup::finish(const std::optional<PlanePhoto> &photo)
{
    if (m_done)
        return;
    m_done = true;
    Q_EMIT finished(photo);
}
