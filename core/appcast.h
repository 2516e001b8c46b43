// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>

/// One release in an appcast: an RSS item in Sparkle's format.
struct AppcastItem {
    QString title;
    /// The machine version that versions are compared by (`sparkle:version`).
    QString version;
    /// The version as people read it (`sparkle:shortVersionString`); empty when the item has none.
    QString shortVersionString;
    /// The enclosure's address: the package or the page that offers it. Absent unless http(s).
    QUrl downloadUrl;
    /// The item's `link`, a page about the release. Absent unless http(s).
    QUrl link;
    /// `sparkle:releaseNotesLink`. Absent unless http(s).
    QUrl releaseNotesUrl;
    /// The inline notes (`description`), HTML unless descriptionIsPlainText; empty when none.
    QString description;
    /// `sparkle:format="plain-text"` on the description.
    bool descriptionIsPlainText = false;
    /// `pubDate`; invalid when missing or unreadable.
    QDateTime publishedAt;

    /// shortVersionString, or version when the item has none.
    QString displayVersionString() const;
    /// Where "Download" takes the user: the enclosure, else the item's link.
    QUrl downloadPage() const;

    friend bool operator==(const AppcastItem &, const AppcastItem &) = default;
};

/// Reads appcasts: RSS 2.0 feeds whose items describe releases in Sparkle's format, either with
/// `sparkle:version` and `sparkle:shortVersionString` as attributes of the `enclosure` or as
/// child elements of the item.
namespace Appcast {

/// Sparkle's XML namespace.
inline constexpr QLatin1StringView sparkleNamespace {
    "http://www.andymatuschak.org/xml-namespaces/sparkle"
};

/// Compares two versions by their numeric components ("1.10" after "1.9"; "1.2" equal to
/// "1.2.0"; a leading "v" and build metadata after "+" are ignored). A suffix after the numbers
/// marks a pre-release, which comes before the release itself ("1.3-beta2" before "1.3"), and
/// pre-releases compare part by part ("beta2" before "beta10", "alpha" before "rc1").
/// Negative, zero or positive as @p a comes before, equals or comes after @p b.
int compareVersions(QStringView a, QStringView b);

/// Whether @p version starts with a number (after an optional "v"): the versions that compare.
bool isVersion(QStringView version);

/// The release feed under @p homepage: its path + "/appcast.xml".
QUrl feedUnder(const QUrl &homepage);

/// Decodes an appcast. Relative addresses resolve against @p base (the feed's own address).
/// Items without a version, with a version that is not one, without an http(s) address to
/// download from, or in a named `sparkle:channel` (Sparkle offers only the default channel)
/// are left out; `sparkle:minimumSystemVersion` and the other Sparkle keys are ignored. Absent,
/// with a one-line reason in @p error, when the body is not well-formed XML, has a document
/// type declaration, is not RSS, or lists no usable item.
std::optional<QList<AppcastItem>> decode(
    const QByteArray &body, const QUrl &base = {}, QString *error = nullptr);

/// The item with the highest version; of equal ones the first. Absent when @p items is empty.
std::optional<AppcastItem> newest(const QList<AppcastItem> &items);

} // namespace Appcast
