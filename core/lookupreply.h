// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reply.h"

#include <QByteArray>
#include <QUrl>

/// One GET whose successful answer a subclass decodes: what the route, photo and image
/// lookups share. An empty address fails without a request.
class LookupReply : public Reply {
    Q_OBJECT
protected:
    LookupReply(QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options,
        QObject *parent);

    /// Reads the body of a 2xx answer; false when it holds nothing usable.
    virtual bool decode(const QByteArray &body) = 0;

private:
    void start() override;
    void handleAnswer(QNetworkReply *reply, Abort abort) override;

    QUrl m_url;
};
