// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "homelocation.h"
#include "scopepalette.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

/// One picture of the sky for the widgets: what the provider built and when. A plain value;
/// every widget view draws from one.
struct SkyEntry {
    QDateTime date; ///< when it was built; the views print it as the time of the data
    QList<Aircraft> aircraft; ///< nearest first, as the feed client returned them
    double radiusNM = 25.0; ///< the search radius, the edge of the scope
    std::optional<HomeLocation> home; ///< absent until the application has been set up
    bool isSample = false; ///< the built-in preview entry
    QString unit = QStringLiteral("mi"); ///< distance unit: "mi", "nm" or "km"
    std::optional<QString> accentHex; ///< the widget colour; see palette()

    /// ScopePalette::fromAccent(accentHex).
    ScopePalette palette() const;
    /// Whether the views show the set-up prompt instead of the sky: no home and not a sample.
    bool needsSetup() const;
};

/// The preview entry: five aircraft around a home at (45.5, −122.6) on a 25 nm scope, the
/// nearest ASA512 and the fifth a military C17, dated @p date and drawn in @p accentHex.
SkyEntry sampleEntry(const std::optional<QString> &accentHex = std::nullopt,
    const QDateTime &date = QDateTime::currentDateTime());

/// "skyvelle://aircraft/<hex>", or "skyvelle://open" when the hex does not make a valid URL.
QUrl aircraftLink(const Aircraft &aircraft);

/// Where a tap on the nearest-aircraft widget goes: the first aircraft's link for a live entry
/// with aircraft, "skyvelle://open" for a sample or an empty sky, and no URL (empty) when the
/// first aircraft's hex does not make a valid URL.
QUrl deepLink(const SkyEntry &entry);
