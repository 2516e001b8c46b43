// SPDX-License-Identifier: GPL-3.0-or-later
#include "lookupreply.h"

#include <QNetworkReply>
#include <QNetworkRequest>

using namespace Qt::StringLiterals;

LookupReply::LookupReply(
    QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options, QObject *parent)
    : Reply(network, options, parent)
    , m_url(url)
{
}

void LookupReply::start()
{
    if (m_url.isEmpty()) {
        finish(u"There is no address to ask."_s);
        return;
    }
    send(QNetworkRequest(m_url));
}

void LookupReply::handleAnswer(QNetworkReply *reply, Abort abort)
{
    // A time-out, a refused connection and an HTTP error all mean "no answer".
    if (const QString failure = failureText(reply, abort); !failure.isEmpty())
        finish(failure);
    else if (!decode(reply->readAll()))
        finish(u"The service's answer could not be read."_s);
    else
        finish();
}
