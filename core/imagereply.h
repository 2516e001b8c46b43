// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lookupreply.h"

#include <QImage>

/// Downloads one picture, such as an aircraft photo's thumbnail.
class ImageReply : public LookupReply {
    Q_OBJECT
public:
    /// Starts the download of @p url on the next turn of the event loop.
    ImageReply(QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options,
        QObject *parent);

    /// The picture, once finished without an error.
    const QImage &image() const { return m_image; }

private:
    bool decode(const QByteArray &body) override;

    QImage m_image;
};
