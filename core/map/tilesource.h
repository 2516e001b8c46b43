// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "services.h"

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QNetworkDiskCache>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// The map's raster tiles: fetches them from the tile servers, keeps them on disk as the servers'
// cache headers allow, and keeps the decoded tiles of the view in memory.
//
// The tile servers ask for restraint, so requests go at most two at a time to each host, the
// rest queue with the latest view first, and queued requests for tiles that have left the view
// are dropped. A tile that fails (HTTP error, undecodable body, time-out) is not asked for again
// for a while; meanwhile the map draws without it.
//
// The painter marks out each frame with beginFrame() and endFrame(); every tile asked for in
// between counts as in view.
class TileSource : public QObject {
    Q_OBJECT
public:
    enum class Layer { Standard, Imagery, Overlay };

    struct Key {
        Layer layer = Layer::Standard;
        int z = 0;
        int x = 0;
        int y = 0;
        friend bool operator==(const Key &, const Key &) = default;
    };

    // Sets a disk cache on @p network, so give the tile source a manager of its own: the other
    // clients' answers do not belong in the tile cache. An empty @p cacheDirectory means the
    // user's cache folder + "/tiles".
    TileSource(QNetworkAccessManager *network, const Services &services,
        const QString &cacheDirectory = {}, QObject *parent = nullptr);
    ~TileSource() override;

    // The decoded tile when it is in memory; otherwise a null image, and the tile is fetched
    // (from the disk cache or the server) unless it failed recently.
    QImage tile(Layer layer, int z, int x, int y);
    // The decoded tile when it is in memory, without fetching: for stand-ins from other levels.
    QImage cachedTile(Layer layer, int z, int x, int y);

    void beginFrame();
    // Drops queued requests not asked for during the frame and trims the memory cache down to
    // its budget, keeping every tile of the frame.
    void endFrame();

    QUrl url(const Key &key) const;

    void setTransferTimeout(int milliseconds) { m_transferTimeoutMs = milliseconds; }
    // How long a failed tile rests before it is asked for again.
    void setRetryDelay(int milliseconds) { m_retryDelayMs = milliseconds; }
    // Decoded tiles kept beyond those in view.
    void setMemoryBudget(int tiles) { m_memoryBudget = tiles; }

    int queuedCount() const { return int(m_queued.size()); }
    int inFlightCount() const { return int(m_inFlight.size()); }
    int memoryCount() const { return int(m_memory.size()); }
    QNetworkDiskCache *diskCache() const { return m_diskCache; }

    static constexpr int maxRequestsPerHost = 2;
    static constexpr qint64 diskCacheBytes = 200LL * 1024 * 1024;
    // The tile servers ask that tiles be kept at least this long.
    static constexpr int minimumKeepDays = 7;

Q_SIGNALS:
    // A tile arrived and is in memory: the view should repaint.
    void tileReady(TileSource::Layer layer, int z, int x, int y);

private:
    struct Decoded {
        QImage image;
        quint64 lastFrame = 0;
    };
    // When a tile was last asked for, and its place in that frame.
    struct Wanted {
        quint64 frame = 0;
        quint64 order = 0;
    };
    struct Probe {
        QNetworkReply *reply = nullptr;
        Wanted wanted;
    };
    struct Queued {
        QString host;
        Wanted wanted;
    };

    QString urlTemplate(Layer layer) const;
    static QString hostOf(const QUrl &url);
    QNetworkRequest request(const Key &key) const;
    void want(const Key &key);
    void probeDiskCache(const Key &key, const Wanted &wanted);
    void probed(QNetworkReply *reply, const Key &key);
    void enqueue(const Key &key, const Wanted &wanted);
    void dispatch();
    void fetch(const Key &key, const QString &host);
    void fetched(QNetworkReply *reply, const Key &key, const QString &host);
    bool accept(const Key &key, const QByteArray &body);
    void fail(const Key &key);
    bool isFresh(const QUrl &url) const;
    void keepAtLeastMinimum(const QUrl &url);

    QNetworkAccessManager *m_network;
    QPointer<QNetworkDiskCache> m_diskCache;
    Services m_services;
    int m_transferTimeoutMs = 15'000;
    int m_retryDelayMs = 60'000;
    int m_memoryBudget = 160;

    quint64 m_frame = 1;
    quint64 m_order = 0;
    QHash<Key, Decoded> m_memory;
    QHash<Key, Queued> m_queued;
    QHash<Key, Probe> m_probes;
    QHash<Key, QNetworkReply *> m_inFlight;
    QHash<QString, int> m_perHost;
    QHash<Key, qint64> m_failedAt;
    QElapsedTimer m_clock;
};

size_t qHash(const TileSource::Key &key, size_t seed = 0);
