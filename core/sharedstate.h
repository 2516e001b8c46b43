// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "homelocation.h"

#include <QByteArray>
#include <QString>

#include <optional>

/// The one file through which the application tells the widget process where home is, how far
/// to look and how to draw. The application is its only writer; the file is replaced
/// atomically, so a reader sees either the old or the new content.
namespace SharedState {

/// What the widgets need from the application.
struct Config {
    HomeLocation home; ///< JSON "home": an object of "latitude", "longitude", "label"
    double radiusNM = 0.0; ///< JSON "radiusNM"
    std::optional<QString> distanceUnit; ///< JSON "distanceUnit", written only when present
    std::optional<QString> widgetColorHex; ///< JSON "widgetColorHex", written only when present

    friend bool operator==(const Config &, const Config &) = default;
};

/// The per-user data folder both processes agree on: "$XDG_DATA_HOME/Skyvelle" when
/// XDG_DATA_HOME is an absolute path, else "<home>/.local/share/Skyvelle", where <home> is the
/// user database's home directory for the real user id, or QDir::homePath() when it has none.
QString directory();

/// "widget-config.json" inside @p directory.
QString filePath(const QString &directory = SharedState::directory());

/// Creates @p directory and atomically replaces the file with @p config as compact JSON
/// (SafeFile::write: a link at the file name is replaced, not followed). A config that cannot
/// be encoded (a number that is not finite) or a failed write leaves the previous file, if any,
/// untouched and answers false.
bool write(const Config &config, const QString &directory = SharedState::directory());

/// The config in the file; absent when the file is missing, unreadable or not a valid config.
/// Missing or null optional keys read as absent; an optional key that is present but not a
/// string, or a radius that is not isValidRadius(), makes the whole file invalid.
std::optional<Config> read(const QString &directory = SharedState::directory());

/// The config in @p bytes, by the rules of read().
std::optional<Config> decode(const QByteArray &bytes);

/// Half the Earth's circumference: no search radius on the globe is longer.
inline constexpr double maximumRadiusNM = 10'800.0;
/// Whether @p radiusNM is a radius on the globe: above 0 and at most maximumRadiusNM. Any other
/// value (negative, NaN, 1e308) makes the file invalid, and is never written.
bool isValidRadius(double radiusNM);

/// Deletes the file; a missing file or a failed removal is ignored.
void clear(const QString &directory = SharedState::directory());

} // namespace SharedState
