// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

/// The rules that turn a saved ATC link into an address the player can open. Pure functions;
/// StreamReply runs them in order and fetches the playlist between them.
namespace StreamLink {

/// The link trimmed of white space and line breaks, when it parses as a URL whose scheme
/// begins with "http".
std::optional<QUrl> parse(const QString &link);

/// For the directory's player page (a path holding "hlisten.php" with a "mount" query item):
/// @p streamBase followed directly by the mount. None for any other address.
std::optional<QUrl> directoryStream(const QUrl &url, const QUrl &streamBase);

/// Whether the address names a playlist the app fetches and reads itself (".pls", any case).
bool isPlaylist(const QUrl &url);

/// The "File1=" entry of a playlist body: the first line beginning with it, the rest trimmed
/// of spaces and tabs, parsed as a URL. None when the body is not UTF-8 or has no such entry.
std::optional<QUrl> playlistEntry(const QByteArray &body);

/// Plain http on a host of @p domain becomes https; any other address is kept.
QUrl upgraded(const QUrl &url, const QString &domain);

/// Whether the player may be given @p url: an http(s) address with a host that is not itself
/// a playlist (the player would play the playlist's text, or another program's file).
bool isPlayable(const QUrl &url);

} // namespace StreamLink
