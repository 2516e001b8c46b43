// SPDX-License-Identifier: GPL-3.0-or-later
#include "reply.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

using namespace Qt::StringLiterals;

namespace {

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

Reply::Reply(QNetworkAccessManager *network, RequestOptions options, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_options(std::move(options))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { abortRequest(Abort::TimedOut); });
    // Start on the next turn of the event loop, so that the caller can connect first and the
    // result never arrives from inside the call that made the reply.
    QTimer::singleShot(0, this, [this] {
        if (!m_cancelled && !m_finished)
            start();
    });
}

Reply::~Reply()
{
    // Aborting reports the request ended at once, and the subclass is gone by now.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void Reply::cancel()
{
    if (m_finished || m_cancelled)
        return;
    m_cancelled = true;
    m_deadline.stop();
    if (m_reply)
        m_reply->abort();
}

void Reply::send(QNetworkRequest request)
{
    request.setTransferTimeout(m_options.timeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, m_options.userAgent);
    m_abort = Abort::None;
    m_reply = m_network->get(request);
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::finished, this, &Reply::requestEnded);
    // The declared length refuses an oversized answer before its body; the count of bytes
    // received catches one that declares nothing.
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (m_reply)
            checkSize(m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(m_reply, &QNetworkReply::downloadProgress, this,
        [this](qint64 received) { checkSize(received); });
    m_deadline.start(m_options.timeoutMs);
}

void Reply::finish(const QString &errorText)
{
    if (m_finished || m_cancelled)
        return;
    m_finished = true;
    m_errorText = errorText;
    Q_EMIT finished();
}

QString Reply::failureText(const QNetworkReply *reply, Abort abort)
{
    if (abort == Abort::TooLarge)
        return u"The service's answer is too large."_s;
    // Our deadline, or the transfer time-out, which aborts a reply on its own.
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return u"The service did not answer in time."_s;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        const QString reason = QString::fromUtf8(
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray())
                                   .simplified();
        return reason.isEmpty()
            ? u"The service answered HTTP %1."_s.arg(status.toInt())
            : u"The service answered HTTP %1 (%2)."_s.arg(status.toInt()).arg(reason.left(80));
    }
    if (reply->error() != QNetworkReply::NoError)
        return networkFailure(reply);
    return {};
}

void Reply::abortRequest(Abort reason)
{
    if (!m_reply || m_cancelled)
        return;
    m_abort = reason;
    m_reply->abort();
}

void Reply::checkSize(qint64 bytes)
{
    if (bytes > m_options.maxBytes)
        abortRequest(Abort::TooLarge);
}

void Reply::requestEnded()
{
    QNetworkReply *reply = m_reply;
    m_reply.clear();
    m_deadline.stop();
    if (!reply)
        return;
    reply->deleteLater();
    if (!m_cancelled)
        handleAnswer(reply, m_abort);
}
