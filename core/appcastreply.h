// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "appcast.h"
#include "reply.h"

#include <QList>
#include <QUrl>

/// One read of an appcast. It finishes once with the feed's usable items or an error text.
class AppcastReply : public Reply {
    Q_OBJECT
public:
    /// The largest appcast read: a feed of every release there will ever be stays far below.
    static constexpr qint64 maxBytes = 1024 * 1024;

    /// Starts reading @p url on the next turn of the event loop. Only an http(s) address is
    /// asked; anything else (a file, another scheme from a hand-edited setting) fails.
    AppcastReply(QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options,
        QObject *parent);

    /// The feed's address.
    const QUrl &url() const { return m_url; }
    /// The items, once finished without an error; never empty then.
    const QList<AppcastItem> &items() const { return m_items; }

private:
    void start() override;
    void handleAnswer(QNetworkReply *reply, Abort abort) override;

    QUrl m_url;
    QList<AppcastItem> m_items;
};
