// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "services.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

// Turns an address typed by the user into a coordinate through a Nominatim search service.
//
// One lookup runs at a time. A new lookUp() replaces the one in flight or waiting, so the
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

    Geocoder(QNetworkAccessManager *network, const Services &services, QObject *parent = nullptr);
    ~Geocoder() override;

    // Decodes a "format=jsonv2&addressdetails=1" search answer. No result, or a first result
    // without a usable coordinate, is NoMatch; anything that is not such an answer, Unreadable.
    static Answer decode(const QByteArray &bytes);

    // How long a request may take before it counts as failed (10 s unless changed).
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

    // Starts (or queues behind the rate limit) a search for the text as typed. Blank text is
    // ignored. Exactly one of found(), noMatch() or failed() follows, unless cancelled.
    void lookUp(const QString &address);
    // Drops the lookup in flight or waiting; no signal follows for it.
    void cancel();
    bool isBusy() const;

Q_SIGNALS:
    void found(const Geocoder::Place &place);
    void noMatch();
    // message: "Address lookup failed: " and one line saying why.
    void failed(const QString &message);

private:
    void sendPending();
    void replyFinished();
    void fail(const QString &reason);

    QNetworkAccessManager *m_network;
    QUrl m_searchUrl;
    QByteArray m_userAgent;
    std::chrono::milliseconds m_timeout { 10'000 };
    QString m_pendingAddress; // waiting for the rate limit
    QTimer m_delay;
    QPointer<QNetworkReply> m_reply;
};
