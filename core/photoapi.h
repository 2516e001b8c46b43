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

/// A photograph of one airframe, as the photo service lists it.
struct PlanePhoto {
    QUrl thumbnailURL; ///< the large thumbnail; always an http(s) address
    std::optional<QUrl> pageURL; ///< the photo's page; an http(s) address when present
    std::optional<QString> photographer; ///< credit text as the service gives it

    friend bool operator==(const PlanePhoto &, const PlanePhoto &) = default;
};

class PhotoLookup;

/// Asks the photo service for a photograph of an airframe by its ICAO address.
namespace PhotoAPI {

/// Every request's transfer time-out.
constexpr int requestTimeoutMs = 8000;

/// The query address: @p base + "/pub/photos/hex/" + the hex percent-encoded as one path
/// segment. Empty when the result is not an http(s) address with a host, or when the hex is
/// empty, "." or "..".
QUrl url(const QUrl &base, const QString &hex);

/// Decodes an answer body. Only the first photo counts: absent when the body is not JSON,
/// "photos" is missing, empty or not an array of objects, the first photo has a used member of
/// the wrong type, or it has no large thumbnail with an http(s) "src". A "link" that is not an
/// http(s) address gives no page; a missing or blank "photographer" gives no credit.
std::optional<PlanePhoto> decode(const QByteArray &body);

/// Starts one lookup for @p hex (passed as the feed wrote it). The returned object, a child of
/// @p parent, emits PhotoLookup::finished exactly once, never from inside this call.
PhotoLookup *fetch(QNetworkAccessManager *network, const Services &services, const QString &hex,
    QObject *parent, int timeoutMs = requestTimeoutMs);

} // namespace PhotoAPI

/// One call of PhotoAPI::fetch. Owns its network reply; destroying it aborts the request and
/// silences it.
class PhotoLookup : public QObject {
    Q_OBJECT
public:
    PhotoLookup(QNetworkAccessManager *network, const QUrl &url, const QByteArray &userAgent,
        int timeoutMs, QObject *parent);
    ~PhotoLookup() override;

Q_SIGNALS:
    /// The photo, or absent for every kind of failure and for an answer without one.
    void finished(const std::optional<PlanePhoto> &photo);

private:
    void start();
    void handleReply();
    void finish(const std::optional<PlanePhoto> &photo);

    QNetworkAccessManager *m_network;
    QUrl m_url;
    QByteArray m_userAgent;
    int m_timeoutMs;
    QPointer<QNetworkReply> m_reply;
    bool m_done = false;
};
