// SPDX-License-Identifier: GPL-3.0-or-later
#include "streamreply.h"

#include "services.h"
#include "streamlink.h"

#include <QNetworkReply>
#include <QNetworkRequest>

using namespace Qt::StringLiterals;

StreamReply::StreamReply(
    QNetworkAccessManager *network, const QString &link, const Services &services, QObject *parent)
    : Reply(network, { services.userAgent(), timeoutMs, maxPlaylistBytes }, parent)
    , m_link(link)
    , m_streamBase(services.atcStreamBase)
    , m_domain(services.atcDomain)
{
}

void StreamReply::start()
{
    const std::optional<QUrl> url = StreamLink::parse(m_link);
    if (!url) {
        finish(u"The link is not a web address."_s);
        return;
    }
    if (const std::optional<QUrl> stream = StreamLink::directoryStream(*url, m_streamBase)) {
        finishWith(*stream);
        return;
    }
    if (StreamLink::isPlaylist(*url)) {
        send(QNetworkRequest(*url));
        return;
    }
    finishWith(StreamLink::upgraded(*url, m_domain));
}

void StreamReply::handleAnswer(QNetworkReply *reply, Abort abort)
{
    // Any HTTP status is read: only a failed transfer, or one we ended, has no body to read.
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (abort != Abort::None || !answered) {
        const QString failure = failureText(reply, abort);
        finish(failure.isEmpty() ? u"The playlist could not be fetched."_s : failure);
        return;
    }
    const std::optional<QUrl> entry = StreamLink::playlistEntry(reply->readAll());
    if (!entry) {
        finish(u"The playlist names no stream."_s);
        return;
    }
    finishWith(StreamLink::upgraded(*entry, m_domain));
}

void StreamReply::finishWith(const QUrl &url)
{
    if (!StreamLink::isPlayable(url)) {
        finish(u"The stream's address is not a web stream."_s);
        return;
    }
    m_stream = url;
    finish();
}
