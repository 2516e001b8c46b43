// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geocoder.h"
#include "reply.h"

#include <QTimer>
#include <QUrl>

// One address search of Geocoder::lookUp. It waits for its turn under the process-wide limit
// of one request a second, then asks. A failure's error text starts "Address lookup failed: ".
class GeocodeReply : public Reply {
    Q_OBJECT
public:
    enum class Result { Match, NoMatch, Failed };

    GeocodeReply(QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options,
        QObject *parent);

    // Failed until the reply finishes; Failed exactly when errorText() is not empty.
    Result result() const { return m_result; }
    // Where the address is; meaningful for Match only.
    const Geocoder::Place &place() const { return m_place; }

private:
    void start() override;
    void handleAnswer(QNetworkReply *reply, Abort abort) override;
    void sendNow();
    void fail(const QString &reason);

    QUrl m_url;
    QTimer m_delay;
    Result m_result = Result::Failed;
    Geocoder::Place m_place;
};
