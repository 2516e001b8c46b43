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

/// A photograph of one airframe, as the photo service lists it.
struct PlanePhoto {
    QUrl thumbnailURL; ///< the large thumbnail; always an http(s) address
    std::optional<QUrl> pageURL; ///< the photo's page; an http(s) address when present
    std::optional<QString> photographer; ///< credit text as the service gives it

    friend bool operator==(const PlanePhoto &, const PlanePhoto &) = default;
};

/// Asks the photo service for a photograph of an airframe by its ICAO address.
namespace PhotoAPI {

/// The query address: @p base + "/pub/photos/hex/" + the hex percent-encoded as one path
/// segment. Empty when the result is not an http(s) address with a host, or when the hex is
/// empty, "." or "..".
QUrl url(const QUrl &base, const QString &hex);

/// Decodes an answer body. Only the first photo counts: absent when the body is not JSON,
/// "photos" is missing, empty or not an array of objects, the first photo has a used member of
/// the wrong type, or it has no large thumbnail with an http(s) "src". A "link" that is not an
/// http(s) address gives no page; a missing or blank "photographer" gives no credit.
std::optional<PlanePhoto> decode(const QByteArray &body);

} // namespace PhotoAPI

/// One call of PhotoAPI::fetch.
using PhotoReply = ValueReply<PlanePhoto, PhotoAPI::decode>;

namespace PhotoAPI {

/// Starts one lookup for @p hex (passed as the feed wrote it). The returned object, a child of
/// @p parent, finishes once with the photo or an error text, never from inside this call. An
/// answer without a photo is an error.
PhotoReply *fetch(QNetworkAccessManager *network, const Services &services, const QString &hex,
    const RequestOptions &options, QObject *parent);

} // namespace PhotoAPI
