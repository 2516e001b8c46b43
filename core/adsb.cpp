// SPDX-License-Identifier: GPL-3.0-or-later
#include "adsb.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <cmath>

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

QList<Aircraft> usableAircraft(const QList<Aircraft> &list)
{
    QList<Aircraft> kept;
    kept.reserve(list.size());
    for (const Aircraft &a : list) {
        if (a.lat && a.lon && (!a.seenPos || *a.seenPos < 60.0))
            kept.append(a);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const Aircraft &a, const Aircraft &b) {
        const double da = a.distanceNM.value_or(INFINITY);
        const double db = b.distanceNM.value_or(INFINITY);
        return da < db;
    });
    return kept;
}

FeedFetch *fetch(QNetworkAccessManager *network, const Services &services, const HomeLocation &home,
                 double radiusNM, QObject *parent, int timeoutMs)
{
    return new FeedFetch(network, sources(services), services.userAgent(), home, radiusNM, parent,
                         timeoutMs);
}

} // namespace ADSB

FeedFetch::FeedFetch(QNetworkAccessManager *network, QList<ADSB::Source> sources,
                     QByteArray userAgent, const HomeLocation &home, double radiusNM,
                     QObject *parent, int timeoutMs)
    : QObject(parent)
    , m_network(network)
    , m_sources(std::move(sources))
    , m_userAgent(std::move(userAgent))
    , m_latitude(home.latitude)
    , m_longitude(home.longitude)
    , m_radius(ADSB::queryRadius(radiusNM))
    , m_timeoutMs(timeoutMs)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { abortReply(Abort::Deadline); });
    // Start on the next turn of the event loop, so that the caller can connect first and the
    // result never arrives from inside this constructor.
    QTimer::singleShot(0, this, &FeedFetch::askNext);
}

FeedFetch::~FeedFetch()
{
    // Aborting emits finished() at once; the flag keeps that from asking the next source.
    m_cancelled = true;
    if (m_reply)
        m_reply->abort();
}

void FeedFetch::cancel()
{
    if (m_finished || m_cancelled)
        return;
    m_cancelled = true;
    m_deadline.stop();
    if (m_reply)
        m_reply->abort();
}

void FeedFetch::askNext()
{
    if (m_cancelled || m_finished)
        return;
    while (m_next < m_sources.size()) {
        const ADSB::Source &source = m_sources.at(m_next++);
        const QUrl url(source.url(m_latitude, m_longitude, m_radius), QUrl::StrictMode);
        if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
            continue;
        QNetworkRequest request(url);
        request.setTransferTimeout(m_timeoutMs);
        // Public aggregators refuse anonymous and library-default clients.
        request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
        m_currentName = source.name;
        m_abort = Abort::None;
        m_reply = m_network->get(request);
        m_reply->setParent(this);
        connect(m_reply, &QNetworkReply::finished, this, &FeedFetch::handleReply);
        // The declared length refuses an oversized answer before its body; the count of bytes
        // received catches one that declares nothing.
        connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
            if (m_reply)
                checkSize(m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
        });
        connect(m_reply, &QNetworkReply::downloadProgress, this,
                [this](qint64 received) { checkSize(received); });
        m_deadline.start(m_timeoutMs);
        return;
    }
    if (m_held)
        finishWith(*m_held);
    else
        finishWithError(FetchError { m_lastError.value_or(u"No flight data source reachable"_s) });
}

void FeedFetch::abortReply(Abort reason)
{
    if (!m_reply || m_cancelled)
        return;
    m_abort = reason;
    m_reply->abort();
}

void FeedFetch::checkSize(qint64 bytes)
{
    if (bytes > ADSB::maxAnswerBytes)
        abortReply(Abort::TooLarge);
}

void FeedFetch::handleReply()
{
    QNetworkReply *reply = m_reply;
    m_reply.clear();
    m_deadline.stop();
    if (!reply)
        return;
    reply->deleteLater();
    if (m_cancelled)
        return;

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (m_abort == Abort::TooLarge) {
        recordFailure(m_currentName + u": the answer is too large"_s);
    } else if (reply->error() == QNetworkReply::OperationCanceledError) {
        // Our deadline, or the transfer time-out, which aborts a reply on its own.
        recordFailure(m_currentName + u": The request timed out."_s);
    } else if (status.isValid() && status.toInt() != 200) {
        recordFailure(m_currentName + u" returned an error"_s);
    } else if (reply->error() != QNetworkReply::NoError) {
        recordFailure(m_currentName + u": "_s + reply->errorString());
    } else if (!status.isValid()) {
        recordFailure(m_currentName + u" returned an error"_s);
    } else {
        QString decodeError;
        const auto response = m_decoder.decodeResponse(reply->readAll(), &decodeError);
        if (!response) {
            recordFailure(m_currentName + u": "_s + decodeError);
        } else {
            const QList<Aircraft> list = response->ac     ? *response->ac
                : response->aircraft                      ? *response->aircraft
                                                          : QList<Aircraft>();
            FeedResult result { ADSB::usableAircraft(list), m_currentName };
            if (!result.aircraft.isEmpty()) {
                finishWith(result);
                return;
            }
            if (!m_held)
                m_held = std::move(result);
        }
    }
    askNext();
}

void FeedFetch::recordFailure(const QString &message)
{
    m_lastError = message;
}

void FeedFetch::finishWith(const FeedResult &result)
{
    m_finished = true;
    Q_EMIT succeeded(result);
}

void FeedFetch::finishWithError(const FetchError &error)
{
    m_finished = true;
    Q_EMIT failed(error);
}
