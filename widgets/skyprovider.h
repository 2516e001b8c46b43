// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "requestoptions.h"
#include "services.h"
#include "skyentry.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QNetworkAccessManager;

/// What the widgets show until the next request: one entry and when to ask again.
struct SkyTimeline {
    QList<SkyEntry> entries;
    QDateTime reloadAfter;
};

/// Builds the widgets' entries: reads the configuration the application shares, asks the feed
/// for the sky around that home, and hands back one entry. Keeps nothing between requests:
/// each one reads the file and fetches afresh, so requests may overlap freely.
class SkyProvider : public QObject {
    Q_OBJECT
public:
    /// A timeline asks to be rebuilt this long after its entry was made.
    static constexpr int reloadSeconds = 300;

    /// Reads the configuration in @p dataDirectory and fetches through @p network from
    /// @p services, with the feed client's time-outs of @p options.
    SkyProvider(QNetworkAccessManager *network, const Services &services,
        const QString &dataDirectory, const RequestOptions &options, QObject *parent = nullptr);

    /// The sample entry, at once.
    SkyEntry placeholder() const;
    /// A preview gets the sample entry at once; otherwise the live entry, once built.
    void getSnapshot(bool isPreview, std::function<void(const SkyEntry &)> completion);
    /// The live entry, once built, as a timeline of that one entry.
    void getTimeline(std::function<void(const SkyTimeline &)> completion);
    /// Builds the live entry: no home without a configuration; the configured home and radius
    /// with no aircraft when the feed fails (an empty sky until the next request).
    void liveEntry(std::function<void(const SkyEntry &)> completion);

private:
    QNetworkAccessManager *m_network;
    Services m_services;
    QString m_dataDirectory;
    RequestOptions m_options;
};
