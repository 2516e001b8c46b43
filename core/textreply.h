// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lookupreply.h"

#include <QString>

/// Downloads one text, such as a release's notes.
class TextReply : public LookupReply {
    Q_OBJECT
public:
    /// Starts the download of @p url on the next turn of the event loop.
    TextReply(QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options,
        QObject *parent);

    /// The text, once finished without an error.
    const QString &text() const { return m_text; }

private:
    bool decode(const QByteArray &body) override;

    QString m_text;
};
