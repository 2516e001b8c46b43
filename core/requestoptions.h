// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

/// What the caller decides about each outside request it starts.
struct RequestOptions {
    /// The time-out the services get unless the caller says otherwise.
    static constexpr int defaultTimeoutMs = 8000;
    /// The largest answer read unless the caller says otherwise. A feed answer for the widest
    /// radius is a few megabytes; nothing else comes close.
    static constexpr qint64 defaultMaxBytes = 32 * 1024 * 1024;

    /// Sent as User-Agent on every request: public services refuse anonymous and
    /// library-default clients.
    QByteArray userAgent;
    /// How long one request may take, from sending it to the last byte of its answer.
    int timeoutMs = defaultTimeoutMs;
    /// A larger answer is that request's failure.
    qint64 maxBytes = defaultMaxBytes;
};
