// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "requestoptions.h"
#include "services.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class GeocodeReply;
class QNetworkAccessManager;

// Turns an address typed by the user into a coordinate through a Nominatim search service.
//
// One lookup runs at a time. A new lookUp() cancels the one in flight or waiting, so the
// user's latest question is always the one answered. Requests leave at most once a second
// across the whole process, as the public service asks; a lookup that comes sooner waits.
class Geocoder : public QObject {
    Q_OBJECT
public:
    // The first result of a search: where it is and the parts of its address we use.
    struct Place {
        double latitude = 0.0;
        double longitude = 0.0;
        QString displayName; // the service's full one-line name
        QString locality; // city, town, village or hamlet
        QString administrativeArea; // state, else region, else county
        QString country;
        QString countryCode; // lower-case ISO 3166-1 alpha-2, as the service writes it
        QString postcode;

        // "locality, administrative area", leaving out what is absent; "Home" when both are.
        QString homeLabel() const;

        friend bool operator==(const Place &, const Place &) = default;
    };

    // What a search answer's bytes say.
    struct Answer {
        enum class Outcome { Match, NoMatch, Unreadable };
        Outcome outcome = Outcome::Unreadable;
        Place place; // meaningful for Match only
    };

    // The search service can be slow to answer; it gets longer than the other services.
    static constexpr int defaultTimeoutMs = 10'000;

    Geocoder(QNetworkAccessManager *network, const Services &services,
        const RequestOptions &options, QObject *parent = nullptr);

    // Decodes a "format=jsonv2&addressdetails=1" search answer. No result, or a first result
    // without a usable coordinate, is NoMatch; anything that is not such an answer, Unreadable.
    static Answer decode(const QByteArray &bytes);

    // Starts (or queues behind the rate limit) a search for the text as typed, answered by the
    // returned reply, a child of parent. Blank text asks nothing and gives no reply.
    GeocodeReply *lookUp(const QString &address, QObject *parent);

private:
    QNetworkAccessManager *m_network;
    QUrl m_searchUrl;
    RequestOptions m_options;
    QPointer<GeocodeReply> m_current;
};
