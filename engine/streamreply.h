// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reply.h"

#include <QString>
#include <QUrl>

struct Services;

/// Resolves one saved ATC link to the address the player opens: the directory's player page
/// to its stream, a ".pls" playlist (fetched, at most 64 KiB in 8 s) to its first entry, plain
/// http on the directory's domain to https. Fails when no playable address comes out.
class StreamReply : public Reply {
    Q_OBJECT
public:
    static constexpr int timeoutMs = 8000;
    static constexpr qint64 maxPlaylistBytes = 64 * 1024;

    StreamReply(QNetworkAccessManager *network, const QString &link, const Services &services,
        QObject *parent);

    /// The address to play, once finished without an error.
    const QUrl &stream() const { return m_stream; }

private:
    void start() override;
    void handleAnswer(QNetworkReply *reply, Abort abort) override;
    void finishWith(const QUrl &url);

    QString m_link;
    QUrl m_streamBase;
    QString m_domain;
    QUrl m_stream;
};
