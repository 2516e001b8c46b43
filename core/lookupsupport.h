// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QLatin1StringView>
#include <QString>
#include <QUrl>

#include <optional>

/// What the route and photo lookups share: the query address and the reading of the small JSON
/// answers.
namespace LookupSupport {

/// @p base + @p path + @p key percent-encoded as one path segment (so that "/", "?" or "#" in
/// a key cannot reach another resource). Empty when the key is empty, "." or "..", or when the
/// result is not an http(s) address with a host.
QUrl keyedUrl(const QUrl &base, const QString &path, const QString &key);

/// Reads an optional text member into @p out: the text without surrounding white space, absent
/// when the member is missing, null or blank. False when the member has another type.
bool readText(const QJsonObject &object, QLatin1StringView key, std::optional<QString> &out);

/// Reads an optional object member into @p out, absent when missing or null. False when the
/// member has another type.
bool readObject(const QJsonObject &object, QLatin1StringView key, std::optional<QJsonObject> &out);

/// An absolute http(s) address with a host made from @p text; absent otherwise.
std::optional<QUrl> webUrl(const QString &text);

} // namespace LookupSupport
