// SPDX-License-Identifier: GPL-3.0-or-later
#include "atcaudio.h"

#include "preferences.h"
#include "streamreply.h"
#include "textutil.h"

#include <QAudioOutput>

#include <algorithm>

using namespace Qt::StringLiterals;

QString ATCAudio::Status::text() const
{
    switch (state) {
    case State::Idle:
        return u"Not playing"_s;
    case State::Buffering:
        return u"Buffering…"_s;
    case State::Playing:
        return u"Playing "_s + name;
    case State::Offline:
        return name
            + u" appears offline — feeds are volunteer-run; try again later or use another feed."_s;
    }
    return {};
}

ATCAudio::ATCAudio(Preferences *preferences, QNetworkAccessManager *network,
    const Services &services, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_network(network)
    , m_services(services)
{
    m_stall.setSingleShot(true);
    m_stall.setInterval(stallTimeoutMs);

    // Bytes that do not decode stay stored untouched until the list next changes.
    if (const std::optional<QList<ATCFavorite>> stored =
            ATCFavorite::decodeList(m_preferences->atcFavorites())) {
        m_favorites = *stored;
        persist();
    }
    m_volume = std::clamp(m_preferences->atcVolume(), 0.0, 1.0);
}

ATCAudio::~ATCAudio()
{
    stopPlayerOnly();
}

void ATCAudio::setVolume(double volume)
{
    volume = std::clamp(volume, 0.0, 1.0);
    if (m_output)
        m_output->setVolume(float(volume));
    m_preferences->setAtcVolume(volume);
    if (volume == m_volume)
        return;
    m_volume = volume;
    Q_EMIT volumeChanged();
}

bool ATCAudio::add(const QString &name, const QString &link)
{
    const QString trimmed = TextUtil::trimSpacesAndTabs(link);
    if (name.isEmpty() || trimmed.isEmpty() || !QUrl(trimmed, QUrl::StrictMode).isValid())
        return false;
    m_favorites.append(ATCFavorite::make(name, trimmed));
    persist();
    Q_EMIT favoritesChanged();
    return true;
}

void ATCAudio::toggle(const ATCFavorite &favorite)
{
    if (m_playingFavoriteID == favorite.id)
        stop();
    else
        play(favorite);
}

void ATCAudio::play(const ATCFavorite &favorite)
{
    stopPlayerOnly();
    setPlayingFavoriteID(favorite.id);
    setStatus({ State::Buffering, {} });
    m_resolving = new StreamReply(m_network, favorite.url, m_services, this);
    connect(m_resolving, &Reply::finished, this, [this, favorite, reply = m_resolving.data()] {
        reply->deleteLater();
        // The user may have stopped or switched while the link was resolved.
        if (m_playingFavoriteID != favorite.id)
            return;
        m_resolving.clear();
        if (reply->errorText().isEmpty())
            startPlayer(reply->stream(), favorite);
        else
            markOffline(favorite);
    });
}

void ATCAudio::remove(const ATCFavorite &favorite)
{
    if (m_playingFavoriteID == favorite.id)
        stop();
    const qsizetype removed = m_favorites.removeIf(
        [&](const ATCFavorite &candidate) { return candidate.id == favorite.id; });
    if (removed == 0)
        return;
    persist();
    Q_EMIT favoritesChanged();
}

void ATCAudio::stopPlayerOnly()
{
    if (m_resolving) {
        m_resolving->cancel();
        m_resolving->deleteLater();
        m_resolving.clear();
    }
    m_stall.stop();
    m_hasPlayed = false;
    m_lastPosition = 0;
    if (m_player) {
        // Disconnected first: a stopping player still reports, and nothing it says matters now.
        m_player->disconnect(this);
        m_player->stop();
        m_player->deleteLater();
        m_player.clear();
    }
    if (m_output) {
        m_output->deleteLater();
        m_output.clear();
    }
}

void ATCAudio::markOffline(const ATCFavorite &favorite)
{
    stopPlayerOnly();
    setStatus({ State::Offline, favorite.name });
    setPlayingFavoriteID({});
}

void ATCAudio::startPlayer(const QUrl &url, const ATCFavorite &favorite)
{
    m_output = new QAudioOutput(this);
    m_output->setVolume(float(m_volume));
    m_player = new QMediaPlayer(this);
    m_player->setAudioOutput(m_output);
    followPlayer(favorite);
    m_player->setSource(url);
    m_player->play();
}

void ATCAudio::followPlayer(const ATCFavorite &favorite)
{
    const auto update = [this, favorite] {
        if (!m_player || m_playingFavoriteID != favorite.id)
            return;
        // After an error the playback state can still read "playing": the error wins. A live
        // stream whose source dies ends with no error, which for a feed means it went offline.
        const QMediaPlayer::MediaStatus media = m_player->mediaStatus();
        if (m_player->error() != QMediaPlayer::NoError || media == QMediaPlayer::EndOfMedia
            || media == QMediaPlayer::InvalidMedia) {
            markOffline(favorite);
            return;
        }
        if (m_player->playbackState() != QMediaPlayer::PlayingState)
            return;
        if (media == QMediaPlayer::BufferingMedia || media == QMediaPlayer::BufferedMedia) {
            if (!m_hasPlayed)
                m_stall.start();
            m_hasPlayed = true;
            setStatus({ State::Playing, favorite.name });
        } else if (media == QMediaPlayer::LoadingMedia || media == QMediaPlayer::StalledMedia) {
            setStatus({ State::Buffering, {} });
        }
    };
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, update);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, update);
    connect(m_player, &QMediaPlayer::errorOccurred, this, update);
    // Progress is the clock moving on, whatever the player's states say: a source that leaves
    // early can leave it "playing" a buffer that never drains.
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        if (m_hasPlayed && position > m_lastPosition)
            m_stall.start();
        m_lastPosition = std::max(m_lastPosition, position);
    });
    m_stall.disconnect(this);
    connect(&m_stall, &QTimer::timeout, this, [this, favorite] {
        if (m_playingFavoriteID == favorite.id)
            markOffline(favorite);
    });
}

void ATCAudio::stop()
{
    stopPlayerOnly();
    setStatus({ State::Idle, {} });
    setPlayingFavoriteID({});
}

void ATCAudio::persist()
{
    m_preferences->setAtcFavorites(ATCFavorite::encodeList(m_favorites));
}

void ATCAudio::setStatus(const Status &status)
{
    if (status == m_status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

void ATCAudio::setPlayingFavoriteID(const QUuid &id)
{
    if (id == m_playingFavoriteID)
        return;
    m_playingFavoriteID = id;
    Q_EMIT playingFavoriteIDChanged();
}
