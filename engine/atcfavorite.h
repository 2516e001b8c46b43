// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

/// One saved ATC stream. Its identity is @ref id.
struct ATCFavorite {
    QUuid id; ///< made when the favourite is added
    QString name; ///< as typed
    QString url; ///< the link as saved, trimmed of spaces and tabs

    bool operator==(const ATCFavorite &) const = default;

    /// A new favourite with a fresh id; the link is trimmed of spaces and tabs at both ends.
    static ATCFavorite make(const QString &name, const QString &link);

    /// The JSON array stored under "atcFavorites": objects with "id", "name" and "url".
    static QByteArray encodeList(const QList<ATCFavorite> &favorites);
    /// None unless @p bytes are a JSON array whose every entry has all three keys as text and
    /// an id that is a UUID.
    static std::optional<QList<ATCFavorite>> decodeList(const QByteArray &bytes);
};
