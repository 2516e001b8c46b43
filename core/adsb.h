// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "aircraftdecoder.h"
#include "homelocation.h"
#include "services.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

/// The feed client's error when no source could answer: one human-readable line.
struct FetchError {
    QString message;
};

/// A successful answer: the aircraft nearest first, and the name of the source that gave it.
struct FeedResult {
    QList<Aircraft> aircraft;
    QString source;
};

class FeedFetch;

/// Asks the aggregators which aircraft are near a point.
namespace ADSB {

/// One aggregator: its display name and how it builds a query address.
struct Source {
    QString name;
    std::function<QString(double latitude, double longitude, int radiusNM)> url;
};

/// The aggregators in the order they are asked: primary, then secondary.
QList<Source> sources(const Services &services);

/// The radius sent to the aggregators: rounded half away from zero, then kept within 1 … 250.
int queryRadius(double radiusNM);

/// Keeps the aircraft that have a position no older than 60 s, and sorts them nearest first
/// (stable; aircraft without a distance go last in feed order).
QList<Aircraft> usableAircraft(const QList<Aircraft> &list);

/// How long one source may take, from its request to the last byte of its answer.
constexpr int requestTimeoutMs = 8000;

/// The largest answer read; a larger one is that source's failure. A real answer for the
/// widest radius is a few megabytes.
constexpr qint64 maxAnswerBytes = 32 * 1024 * 1024;

/// Starts one query. The returned object (a child of @p parent) reports exactly one of
/// FeedFetch::succeeded or FeedFetch::failed, unless it is cancelled first.
/// Every source gets @p timeoutMs from its request to the end of its answer.
FeedFetch *fetch(QNetworkAccessManager *network, const Services &services, const HomeLocation &home,
                 double radiusNM, QObject *parent, int timeoutMs = requestTimeoutMs);

} // namespace ADSB

/// One call of ADSB::fetch: asks the sources one after the other and reports the first useful
/// answer. Owns its network reply; cancel() aborts it and silences the object.
class FeedFetch : public QObject
{
    Q_OBJECT
public:
    FeedFetch(QNetworkAccessManager *network, QList<ADSB::Source> sources, QByteArray userAgent,
              const HomeLocation &home, double radiusNM, QObject *parent,
              int timeoutMs = ADSB::requestTimeoutMs);
    ~FeedFetch() override;

    /// Aborts the request in flight; neither signal is emitted afterwards.
    void cancel();
    bool isCancelled() const { return m_cancelled; }
    bool isFinished() const { return m_finished; }

Q_SIGNALS:
    void succeeded(const FeedResult &result);
    void failed(const FetchError &error);

private:
    // Why we aborted the reply in flight ourselves.
    enum class Abort { None, Deadline, TooLarge };

    void askNext();
    void abortReply(Abort reason);
    void checkSize(qint64 bytes);
    void handleReply();
    void recordFailure(const QString &message);
    void finishWith(const FeedResult &result);
    void finishWithError(const FetchError &error);

    QNetworkAccessManager *m_network;
    QList<ADSB::Source> m_sources;
    QByteArray m_userAgent;
    double m_latitude;
    double m_longitude;
    int m_radius;
    qsizetype m_next = 0;
    QString m_currentName;
    int m_timeoutMs;
    QPointer<QNetworkReply> m_reply;
    // The whole-answer deadline: the transfer time-out alone only notices silence, and a source
    // that trickles a byte a second would hold the feed for ever.
    QTimer m_deadline;
    Abort m_abort = Abort::None;
    std::optional<FeedResult> m_held;
    std::optional<QString> m_lastError;
    AircraftDecoder m_decoder;
    bool m_cancelled = false;
    bool m_finished = false;
};
