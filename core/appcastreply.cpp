// SPDX-License-Identifier: GPL-3.0-or-later
#include "appcastreply.h"

#include "weblink.h"

#include <QNetworkReply>
#include <QNetworkRequest>

using namespace Qt::StringLiterals;

AppcastReply::AppcastReply(
    QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options, QObject *parent)
    : Reply(network, options, parent)
    , m_url(url)
{
}

void AppcastReply::start()
{
    if (!WebLink::isWeb(m_url)) {
        finish(u"The update feed's address is not a web address."_s);
        return;
    }
    send(QNetworkRequest(m_url));
}

void AppcastReply::handleAnswer(QNetworkReply *reply, Abort abort)
{
    if (const QString failure = failureText(reply, abort); !failure.isEmpty()) {
        finish(failure);
        return;
    }
    QString error;
    // Addresses in the feed resolve against where it came from, after any redirect.
    const auto items = Appcast::decode(reply->readAll(), reply->url(), &error);
    if (!items) {
        finish(error);
        return;
    }
    m_items = *items;
    finish();
}
