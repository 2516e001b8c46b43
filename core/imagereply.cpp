// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagereply.h"

ImageReply::ImageReply(
    QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options, QObject *parent)
    : LookupReply(network, url, options, parent)
{
}

bool ImageReply::decode(const QByteArray &body)
{
    return m_image.loadFromData(body);
}
