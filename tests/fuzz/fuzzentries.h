// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/// The decode entry points that the fuzz targets and the corpus replay share. Each one decodes
/// untrusted bytes as the application does, then uses what came out the way the views do (the
/// derived texts, the scope geometry, a round trip through the writer) and aborts when an
/// invariant fails, so that a fuzzer sees a broken rule as a crash.
namespace FuzzEntries {

/// A feed answer and a single record (AircraftDecoder), with every derived text and the scope;
/// malformed exactly when simdjson's document parser says so, read in place or copied.
void feed(const QByteArray &bytes);
/// A route database answer (RouteAPI::decode).
void route(const QByteArray &bytes);
/// A photo service answer (PhotoAPI::decode).
void photo(const QByteArray &bytes);
/// logbook.json (SightingLog::decode), which must survive encode and decode unchanged.
void logbook(const QByteArray &bytes);
/// widget-config.json (SharedState::decode), with the scope caption and geometry it feeds.
void widgetConfig(const QByteArray &bytes);
/// The saved home (HomeLocation::fromJsonBytes), which must survive toJsonBytes unchanged.
void homeLocation(const QByteArray &bytes);
/// A geocoder search answer (Geocoder::decode).
void geocoder(const QByteArray &bytes);

struct Target {
    QString name; ///< the corpus folder, tests/fuzz/corpus/<name>
    void (*run)(const QByteArray &bytes);
};

/// Every entry point by its corpus folder name.
QList<Target> targets();

} // namespace FuzzEntries
