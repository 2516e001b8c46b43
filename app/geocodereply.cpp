// SPDX-License-Identifier: GPL-3.0-or-later
#include "geocodereply.h"

#include <QLocale>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <chrono>
#include <optional>

using namespace Qt::StringLiterals;
using namespace std::chrono;

namespace {

// The public service allows one request a second from an application, not from each of its
// objects, so every search of the process shares this clock (all on the GUI thread).
constexpr milliseconds minimumSpacing { 1000 };
std::optional<steady_clock::time_point> lastRequestSent;

} // namespace

GeocodeReply::GeocodeReply(
    QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options, QObject *parent)
    : Reply(network, options, parent)
    , m_url(url)
{
    m_delay.setSingleShot(true);
    m_delay.setTimerType(Qt::PreciseTimer);
    connect(&m_delay, &QTimer::timeout, this, &GeocodeReply::sendNow);
}

void GeocodeReply::start()
{
    const milliseconds wait = lastRequestSent
        ? duration_cast<milliseconds>(*lastRequestSent + minimumSpacing - steady_clock::now())
        : milliseconds { 0 };
    if (wait > milliseconds { 0 })
        m_delay.start(wait);
    else
        sendNow();
}

void GeocodeReply::sendNow()
{
    // A search cancelled while it waited for its turn takes none.
    if (isCancelled())
        return;
    QNetworkRequest request(m_url);
    request.setRawHeader("Accept", "application/json");
    // Place names come back in the user's language where the map has them.
    const QStringList languages = QLocale().uiLanguages();
    if (!languages.isEmpty() && languages.first() != "C"_L1)
        request.setRawHeader("Accept-Language", languages.first().toUtf8());
    lastRequestSent = steady_clock::now();
    send(request);
}

void GeocodeReply::handleAnswer(QNetworkReply *reply, Abort abort)
{
    if (const QString failure = failureText(reply, abort); !failure.isEmpty()) {
        fail(failure);
        return;
    }
    const Geocoder::Answer answer = Geocoder::decode(reply->readAll());
    switch (answer.outcome) {
    case Geocoder::Answer::Outcome::Match:
        m_result = Result::Match;
        m_place = answer.place;
        finish();
        return;
    case Geocoder::Answer::Outcome::NoMatch:
        m_result = Result::NoMatch;
        finish();
        return;
    case Geocoder::Answer::Outcome::Unreadable:
        fail(u"The service's answer could not be read."_s);
        return;
    }
}

void GeocodeReply::fail(const QString &reason)
{
    finish(u"Address lookup failed: "_s + reason);
}
