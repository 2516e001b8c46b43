// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lookupreply.h"

#include <optional>

/// A lookup whose answer @p decodeBody reads into one value, such as a route or a photo.
template<typename T, std::optional<T> (*decodeBody)(const QByteArray &)>
class ValueReply : public LookupReply {
public:
    ValueReply(QNetworkAccessManager *network, const QUrl &url, const RequestOptions &options,
        QObject *parent)
        : LookupReply(network, url, options, parent)
    {
    }

    /// The value, once finished without an error.
    const std::optional<T> &value() const { return m_value; }

private:
    bool decode(const QByteArray &body) override
    {
        m_value = decodeBody(body);
        return m_value.has_value();
    }

    std::optional<T> m_value;
};
