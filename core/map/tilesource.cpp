// SPDX-License-Identifier: GPL-3.0-or-later
#include "tilesource.h"

#include <QDateTime>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

size_t qHash(const TileSource::Key &key, size_t seed)
{
    return qHashMulti(seed, int(key.layer), key.z, key.x, key.y);
}

TileSource::TileSource(QNetworkAccessManager *network, const Services &services,
    const QString &cacheDirectory, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_diskCache(new QNetworkDiskCache(this))
    , m_services(services)
{
    const QString directory = cacheDirectory.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + u"/tiles"_s
        : cacheDirectory;
    m_diskCache->setCacheDirectory(directory);
    m_diskCache->setMaximumCacheSize(diskCacheBytes);
    // The manager owns the cache from here on.
    m_network->setCache(m_diskCache);
    m_clock.start();
}

TileSource::~TileSource()
{
    // The replies are ours; their finished() must not reach a half-destroyed source.
    for (const Probe &probe : std::as_const(m_probes)) {
        probe.reply->disconnect(this);
        probe.reply->abort();
    }
    for (QNetworkReply *reply : std::as_const(m_inFlight)) {
        reply->disconnect(this);
        reply->abort();
    }
}

QImage TileSource::tile(Layer layer, int z, int x, int y)
{
    const Key key { layer, z, x, y };
    auto found = m_memory.find(key);
    if (found != m_memory.end()) {
        found->lastFrame = m_frame;
        // A stale tile from the disk stays wanted until the server has confirmed or replaced it.
        auto refresh = m_queued.find(key);
        if (refresh != m_queued.end())
            refresh->wanted = { m_frame, ++m_order };
        return found->image;
    }
    want(key);
    return {};
}

QImage TileSource::cachedTile(Layer layer, int z, int x, int y)
{
    auto found = m_memory.find(Key { layer, z, x, y });
    if (found == m_memory.end())
        return {};
    found->lastFrame = m_frame;
    return found->image;
}

void TileSource::beginFrame()
{
    ++m_frame;
}

void TileSource::endFrame()
{
    for (auto it = m_queued.begin(); it != m_queued.end();) {
        if (it->wanted.frame != m_frame)
            it = m_queued.erase(it);
        else
            ++it;
    }

    if (m_memory.size() <= m_memoryBudget)
        return;
    std::vector<std::pair<quint64, Key>> older;
    for (auto it = m_memory.cbegin(); it != m_memory.cend(); ++it) {
        if (it->lastFrame != m_frame)
            older.emplace_back(it->lastFrame, it.key());
    }
    std::sort(
        older.begin(), older.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[frame, key] : older) {
        if (m_memory.size() <= m_memoryBudget)
            break;
        m_memory.remove(key);
    }
}

QString TileSource::urlTemplate(Layer layer) const
{
    switch (layer) {
    case Layer::Standard:
        return m_services.tilesStandard;
    case Layer::Imagery:
        return m_services.tilesImagery;
    case Layer::Overlay:
        return m_services.tilesOverlay;
    }
    return {};
}

QUrl TileSource::url(const Key &key) const
{
    QString text = urlTemplate(key.layer);
    text.replace(u"{z}"_s, QString::number(key.z));
    text.replace(u"{x}"_s, QString::number(key.x));
    text.replace(u"{y}"_s, QString::number(key.y));
    return QUrl(text);
}

QString TileSource::hostOf(const QUrl &url)
{
    return url.host() + u':' + QString::number(url.port(url.scheme() == u"https"_s ? 443 : 80));
}

QNetworkRequest TileSource::request(const Key &key) const
{
    QNetworkRequest request(url(key));
    request.setHeader(QNetworkRequest::UserAgentHeader, m_services.userAgent());
    request.setTransferTimeout(m_transferTimeoutMs);
    return request;
}

void TileSource::want(const Key &key)
{
    const Wanted wanted { m_frame, ++m_order };
    if (m_inFlight.contains(key))
        return;
    auto probe = m_probes.find(key);
    if (probe != m_probes.end()) {
        probe->wanted = wanted;
        return;
    }
    auto queued = m_queued.find(key);
    if (queued != m_queued.end()) {
        queued->wanted = wanted;
        return;
    }
    const auto failed = m_failedAt.constFind(key);
    if (failed != m_failedAt.cend()) {
        if (m_clock.elapsed() - *failed < m_retryDelayMs)
            return;
        m_failedAt.erase(failed);
    }
    if (!url(key).isValid())
        return;
    probeDiskCache(key, wanted);
}

void TileSource::probeDiskCache(const Key &key, const Wanted &wanted)
{
    // Tiles on disk show at once, whatever their age; only the network is rationed.
    QNetworkRequest probe = request(key);
    probe.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysCache);
    QNetworkReply *reply = m_network->get(probe);
    reply->setParent(this);
    m_probes.insert(key, Probe { reply, wanted });
    connect(reply, &QNetworkReply::finished, this, [this, reply, key] { probed(reply, key); });
}

void TileSource::probed(QNetworkReply *reply, const Key &key)
{
    const Wanted wanted = m_probes.take(key).wanted;
    reply->deleteLater();
    const bool onDisk = reply->error() == QNetworkReply::NoError && accept(key, reply->readAll());
    if (onDisk && isFresh(reply->url()))
        return;
    // A tile that left the view while its probe ran goes no further.
    if (wanted.frame != m_frame)
        return;
    enqueue(key, wanted);
    dispatch();
}

void TileSource::enqueue(const Key &key, const Wanted &wanted)
{
    m_queued.insert(key, Queued { hostOf(url(key)), wanted });
}

void TileSource::dispatch()
{
    for (;;) {
        // The latest frame first; within it, the order the painter asked (nearest the middle).
        auto best = m_queued.end();
        for (auto it = m_queued.begin(); it != m_queued.end(); ++it) {
            if (m_perHost.value(it->host) >= maxRequestsPerHost)
                continue;
            if (best == m_queued.end() || it->wanted.frame > best->wanted.frame
                || (it->wanted.frame == best->wanted.frame
                    && it->wanted.order < best->wanted.order))
                best = it;
        }
        if (best == m_queued.end())
            return;
        const Key key = best.key();
        const QString host = best->host;
        m_queued.erase(best);
        fetch(key, host);
    }
}

void TileSource::fetch(const Key &key, const QString &host)
{
    QNetworkReply *reply = m_network->get(request(key));
    reply->setParent(this);
    m_inFlight.insert(key, reply);
    ++m_perHost[host];
    connect(reply, &QNetworkReply::finished, this,
        [this, reply, key, host] { fetched(reply, key, host); });
}

void TileSource::fetched(QNetworkReply *reply, const Key &key, const QString &host)
{
    m_inFlight.remove(key);
    if (--m_perHost[host] <= 0)
        m_perHost.remove(host);
    reply->deleteLater();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status == 200) {
        if (accept(key, reply->readAll())) {
            if (!reply->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool())
                keepAtLeastMinimum(reply->url());
        } else {
            // A body that is no picture must not be served again from the disk.
            if (m_diskCache)
                m_diskCache->remove(reply->url());
            fail(key);
        }
    } else if (!m_memory.contains(key)) {
        fail(key);
    }
    dispatch();
}

bool TileSource::accept(const Key &key, const QByteArray &body)
{
    QImage image = QImage::fromData(body);
    if (image.isNull())
        return false;
    // The formats the raster painter blends fastest.
    image.convertTo(
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    m_memory.insert(key, Decoded { std::move(image), m_frame });
    m_queued.remove(key);
    m_failedAt.remove(key);
    Q_EMIT tileReady(key.layer, key.z, key.x, key.y);
    return true;
}

void TileSource::fail(const Key &key)
{
    m_failedAt.insert(key, m_clock.elapsed());
}

bool TileSource::isFresh(const QUrl &url) const
{
    if (!m_diskCache)
        return false;
    const QNetworkCacheMetaData meta = m_diskCache->metaData(url);
    if (!meta.isValid() || !meta.expirationDate().isValid())
        return false;
    for (const auto &[name, value] : meta.rawHeaders()) {
        if (name.compare("Cache-Control", Qt::CaseInsensitive) == 0
            && value.toLower().contains("no-cache"))
            return false;
    }
    return meta.expirationDate() > QDateTime::currentDateTimeUtc();
}

void TileSource::keepAtLeastMinimum(const QUrl &url)
{
    // A server that says nothing about freshness gets the keep time the tile servers ask for;
    // one that does is taken at its word.
    if (!m_diskCache)
        return;
    QNetworkCacheMetaData meta = m_diskCache->metaData(url);
    if (!meta.isValid())
        return;
    for (const auto &[name, value] : meta.rawHeaders()) {
        if (name.compare("Cache-Control", Qt::CaseInsensitive) == 0
            || name.compare("Expires", Qt::CaseInsensitive) == 0)
            return;
    }
    meta.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(minimumKeepDays));
    m_diskCache->updateMetaData(meta);
}
