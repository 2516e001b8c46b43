// SPDX-License-Identifier: GPL-3.0-or-later
#include "textreply.h"

TextReply::TextReply(
    QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options, QObject *parent)
    : LookupReply(network, url, options, parent)
{
}

bool TextReply::decode(const QByteArray &body)
{
    // A picture or a program is not text, whatever the address promised.
    if (body.contains('\0'))
        return false;
    m_text = QString::fromUtf8(body);
    return true;
}
