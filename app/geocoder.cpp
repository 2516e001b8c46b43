// SPDX-License-Identifier: GPL-3.0-or-later
#include "geocoder.h"

#include "homelocation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;
using namespace std::chrono;

namespace {

// The public service allows one request a second from an application, not from each of its
// objects, so every Geocoder of the process shares this clock (all on the GUI thread).
constexpr milliseconds minimumSpacing { 1000 };
std::optional<steady_clock::time_point> lastRequestSent;

std::optional<double> coordinate(const QJsonValue &value)
{
    double number = 0.0;
    if (value.isDouble()) {
        number = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        number = QLocale::c().toDouble(value.toString(), &ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

QString firstText(const QJsonObject &object, std::initializer_list<QLatin1StringView> keys)
{
    for (const QLatin1StringView key : keys) {
        const QString text = object.value(key).toString().trimmed();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QString networkFailure(const QNetworkReply *reply)
{
    switch (reply->error()) {
    case QNetworkReply::HostNotFoundError:
        return u"The service's server could not be found. Check the network connection."_s;
    case QNetworkReply::ConnectionRefusedError:
        return u"The service refused the connection."_s;
    case QNetworkReply::RemoteHostClosedError:
        return u"The service closed the connection without answering."_s;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return u"There is no network connection."_s;
    case QNetworkReply::SslHandshakeFailedError:
        return u"A secure connection to the service could not be made."_s;
    default:
        // Qt's own text, kept to one line.
        return reply->errorString().simplified();
    }
}

} // namespace

QString Geocoder::Place::homeLabel() const
{
    QStringList parts;
    if (!locality.isEmpty())
        parts.append(locality);
    if (!administrativeArea.isEmpty())
        parts.append(administrativeArea);
    return parts.isEmpty() ? u"Home"_s : parts.join(u", "_s);
}

Geocoder::Geocoder(QNetworkAccessManager *network, const Services &services, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_userAgent(services.userAgentWithContact())
{
    m_searchUrl = services.geocoder;
    QString path = m_searchUrl.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    m_searchUrl.setPath(path + u"/search"_s);

    m_delay.setSingleShot(true);
    m_delay.setTimerType(Qt::PreciseTimer);
    connect(&m_delay, &QTimer::timeout, this, &Geocoder::sendPending);
}

Geocoder::~Geocoder()
{
    cancel();
}

Geocoder::Answer Geocoder::decode(const QByteArray &bytes)
{
    Answer answer;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return answer;
    const QJsonArray results = document.array();
    if (results.isEmpty()) {
        answer.outcome = Answer::Outcome::NoMatch;
        return answer;
    }
    if (!results.first().isObject())
        return answer;
    const QJsonObject first = results.first().toObject();

    const std::optional<double> latitude = coordinate(first.value("lat"_L1));
    const std::optional<double> longitude = coordinate(first.value("lon"_L1));
    if (!latitude || !longitude || !HomeLocation::isValidCoordinate(*latitude, *longitude)) {
        answer.outcome = Answer::Outcome::NoMatch;
        return answer;
    }

    Place &place = answer.place;
    place.latitude = *latitude;
    place.longitude = *longitude;
    place.displayName = first.value("display_name"_L1).toString().trimmed();
    const QJsonObject address = first.value("address"_L1).toObject();
    place.locality = firstText(address, { "city"_L1, "town"_L1, "village"_L1, "hamlet"_L1 });
    place.administrativeArea = firstText(address, { "state"_L1, "region"_L1, "county"_L1 });
    place.country = firstText(address, { "country"_L1 });
    place.countryCode = firstText(address, { "country_code"_L1 });
    place.postcode = firstText(address, { "postcode"_L1 });
    answer.outcome = Answer::Outcome::Match;
    return answer;
}

void Geocoder::lookUp(const QString &address)
{
    if (address.trimmed().isEmpty())
        return;
    cancel();
    m_pendingAddress = address;

    const auto now = steady_clock::now();
    const milliseconds wait = lastRequestSent
        ? duration_cast<milliseconds>(*lastRequestSent + minimumSpacing - now)
        : milliseconds { 0 };
    if (wait > milliseconds { 0 })
        m_delay.start(wait);
    else
        sendPending();
}

void Geocoder::cancel()
{
    m_delay.stop();
    m_pendingAddress.clear();
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        // Silenced first: abort() reports synchronously, and a cancel is not a failure.
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

bool Geocoder::isBusy() const
{
    return m_reply || m_delay.isActive();
}

void Geocoder::sendPending()
{
    if (m_pendingAddress.isEmpty())
        return;

    QUrl url = m_searchUrl;
    QUrlQuery query;
    query.addQueryItem(u"q"_s, m_pendingAddress);
    query.addQueryItem(u"format"_s, u"jsonv2"_s);
    query.addQueryItem(u"addressdetails"_s, u"1"_s);
    query.addQueryItem(u"limit"_s, u"1"_s);
    url.setQuery(query);
    m_pendingAddress.clear();

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    request.setRawHeader("Accept", "application/json");
    // Place names come back in the user's language where the map has them.
    const QStringList languages = QLocale().uiLanguages();
    if (!languages.isEmpty() && languages.first() != "C"_L1)
        request.setRawHeader("Accept-Language", languages.first().toUtf8());
    request.setTransferTimeout(int(m_timeout.count()));

    lastRequestSent = steady_clock::now();
    m_reply = m_network->get(request);
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::finished, this, &Geocoder::replyFinished);
}

void Geocoder::replyFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (reply->error() == QNetworkReply::OperationCanceledError) {
        // cancel() disconnects before it aborts, so only the transfer time-out lands here.
        fail(u"The service did not answer in time."_s);
        return;
    }
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        const QString reason = QString::fromUtf8(
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray())
                                   .simplified();
        fail(reason.isEmpty()
                ? u"The service answered HTTP %1."_s.arg(status.toInt())
                : u"The service answered HTTP %1 (%2)."_s.arg(status.toInt()).arg(reason.left(80)));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(networkFailure(reply));
        return;
    }

    const Answer answer = decode(reply->readAll());
    switch (answer.outcome) {
    case Answer::Outcome::Match:
        Q_EMIT found(answer.place);
        return;
    case Answer::Outcome::NoMatch:
        Q_EMIT noMatch();
        return;
    case Answer::Outcome::Unreadable:
        fail(u"The service's answer could not be read."_s);
        return;
    }
}

void Geocoder::fail(const QString &reason)
{
    Q_EMIT failed(u"Address lookup failed: "_s + reason);
}
