// SPDX-License-Identifier: GPL-3.0-or-later
#include "adsb.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace ADSB {

QList<Source> sources(const Services &services)
{
    const QString primary = services.feedPrimary.toString();
    const QString secondary = services.feedSecondary.toString();
    return {
        Source { services.feedPrimaryName,
            [primary](double lat, double lon, int r) {
                return primary + QString::asprintf("/v2/point/%.5f/%.5f/%d", lat, lon, r);
            } },
        Source { services.feedSecondaryName,
            [secondary](double lat, double lon, int r) {
                return secondary
                    + QString::asprintf("/api/v2/lat/%.5f/lon/%.5f/dist/%d", lat, lon, r);
            } },
    };
}

int queryRadius(double radiusNM)
{
    // NaN compares false everywhere; treat it as the smallest radius.
    if (!(radiusNM >= 1.0))
        return 1;
    return int(std::min(std::round(radiusNM), 250.0));
}

QList<Aircraft> usableAircraft(QList<Aircraft> list)
{
    // A record is a few hundred bytes holding a dozen strings: sorting them moved each one a
    // dozen times. The distances are sorted with the records' places instead, and the records
    // are then put in order where they are, each moved once along the cycles of that order.
    struct Place {
        double distance;
        qsizetype index;
    };
    std::vector<Place> places;
    places.reserve(size_t(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Aircraft &a = list.at(i);
        if (!a.lat || !a.lon || (a.seenPos && *a.seenPos >= 60.0))
            continue;
        places.push_back({ a.distanceNM.value_or(INFINITY), i });
    }
    // Equal distances keep the feed's order by their places: stable, without the buffer and
    // the merging a stable sort needs.
    std::sort(places.begin(), places.end(), [](const Place &a, const Place &b) {
        return a.distance < b.distance || (!(b.distance < a.distance) && a.index < b.index);
    });

    const qsizetype kept = qsizetype(places.size());
    bool unchanged = kept == list.size();
    for (qsizetype i = 0; unchanged && i < kept; ++i)
        unchanged = places[size_t(i)].index == i;
    if (unchanged)
        return list;

    // from[i]: the record that goes to place i. The records left out fill the places after
    // the kept ones, in any order, and are cut off at the end.
    std::vector<qsizetype> from(size_t(list.size()));
    std::vector<bool> taken(size_t(list.size()));
    for (qsizetype i = 0; i < kept; ++i) {
        from[size_t(i)] = places[size_t(i)].index;
        taken[size_t(places[size_t(i)].index)] = true;
    }
    for (qsizetype i = 0, next = kept; i < list.size(); ++i) {
        if (!taken[size_t(i)])
            from[size_t(next++)] = i;
    }
    // The record a cycle starts from waits aside while the others move up; a shuffled list
    // has a handful of cycles, and even the worst has no more than half as many as records.
    // On a shared list, data() detaches it first: the one copy a shared argument costs.
    Aircraft *const records = list.data();
    for (qsizetype start = 0; start < list.size(); ++start) {
        if (from[size_t(start)] == start)
            continue;
        const auto held = std::make_unique<Aircraft>(std::move(records[start]));
        qsizetype at = start;
        for (qsizetype source = from[size_t(at)]; source != start; source = from[size_t(at)]) {
            records[at] = std::move(records[source]);
            from[size_t(at)] = at;
            at = source;
        }
        records[at] = std::move(*held);
        from[size_t(at)] = at;
    }
    list.resize(kept);
    return list;
}

FeedFetch *fetch(QNetworkAccessManager *network, const Services &services, const HomeLocation &home,
    double radiusNM, const RequestOptions &options, QObject *parent)
{
    return new FeedFetch(network, sources(services), options, home, radiusNM, parent);
}

} // namespace ADSB

FeedFetch::FeedFetch(QNetworkAccessManager *network, QList<ADSB::Source> sources,
    const RequestOptions &options, const HomeLocation &home, double radiusNM, QObject *parent)
    : Reply(network, options, parent)
    , m_sources(std::move(sources))
    , m_latitude(home.latitude)
    , m_longitude(home.longitude)
    , m_radius(ADSB::queryRadius(radiusNM))
{
}

void FeedFetch::start()
{
    askNext();
}

void FeedFetch::askNext()
{
    while (m_next < m_sources.size()) {
        const ADSB::Source &source = m_sources.at(m_next++);
        const QUrl url(source.url(m_latitude, m_longitude, m_radius), QUrl::StrictMode);
        if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
            continue;
        m_currentName = source.name;
        send(QNetworkRequest(url));
        return;
    }
    if (m_held) {
        m_result = std::move(m_held);
        finish();
    } else {
        finish(m_lastError.value_or(u"No flight data source reachable"_s));
    }
}

void FeedFetch::handleAnswer(QNetworkReply *reply, Abort abort)
{
    // The feed's own texts, which name the source; the other clients share Reply::failureText.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (abort == Abort::TooLarge) {
        m_lastError = m_currentName + u": the answer is too large"_s;
    } else if (reply->error() == QNetworkReply::OperationCanceledError) {
        // Our deadline, or the transfer time-out, which aborts a reply on its own.
        m_lastError = m_currentName + u": The request timed out."_s;
    } else if (status.isValid() && status.toInt() != 200) {
        m_lastError = m_currentName + u" returned an error"_s;
    } else if (reply->error() != QNetworkReply::NoError) {
        m_lastError = m_currentName + u": "_s + reply->errorString();
    } else if (!status.isValid()) {
        m_lastError = m_currentName + u" returned an error"_s;
    } else {
        QString decodeError;
        auto response = m_decoder.decodeResponse(reply->readAll(), &decodeError);
        if (!response) {
            m_lastError = m_currentName + u": "_s + decodeError;
        } else {
            QList<Aircraft> list = response->ac ? std::move(*response->ac)
                : response->aircraft            ? std::move(*response->aircraft)
                                                : QList<Aircraft>();
            FeedResult result { ADSB::usableAircraft(std::move(list)), m_currentName };
            if (!result.aircraft.isEmpty()) {
                m_result = std::move(result);
                finish();
                return;
            }
            if (!m_held)
                m_held = std::move(result);
        }
    }
    askNext();
}
