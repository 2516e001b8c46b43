// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "atcfavorite.h"
#include "services.h"

#include <QAudioOutput>
#include <QList>
#include <QMediaPlayer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUuid>

class Preferences;
class QNetworkAccessManager;
class StreamReply;

/// The process-wide ATC audio player: the saved streams, the one playing, its status and the
/// volume. Created once by the application, so playback goes on while its panel is closed.
/// Favourites and volume live in the preferences ("atcFavorites", "atcVolume").
class ATCAudio : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<ATCFavorite> favorites READ favorites NOTIFY favoritesChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(QUuid playingFavoriteID READ playingFavoriteID NOTIFY playingFavoriteIDChanged)
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)

public:
    enum class State { Idle, Buffering, Playing, Offline };
    Q_ENUM(State)

    /// What the player is doing; @ref name is the favourite's for Playing and Offline.
    struct Status {
        State state = State::Idle;
        QString name;

        bool operator==(const Status &) const = default;
        /// The status line: "Not playing", "Buffering…", "Playing <name>", or the offline
        /// sentence.
        QString text() const;
    };

    /// A stream that has played and then makes no progress this long is offline, whatever the
    /// player reports. (A source that goes silent with its connection open usually ends sooner,
    /// in the backend's own 15 s time-out, as an error.)
    static constexpr int stallTimeoutMs = 20000;

    /// Reads the favourites and the volume from @p preferences; @p network fetches playlists
    /// and @p services names the ATC directory. Neither is owned.
    ATCAudio(Preferences *preferences, QNetworkAccessManager *network, const Services &services,
        QObject *parent = nullptr);
    ~ATCAudio() override;

    const QList<ATCFavorite> &favorites() const { return m_favorites; }
    const Status &status() const { return m_status; }
    /// The favourite being played or started; null when none.
    QUuid playingFavoriteID() const { return m_playingFavoriteID; }
    double volume() const { return m_volume; }
    /// Clamped to 0 … 1; reaches the player at once and is stored.
    void setVolume(double volume);

    /// Appends a favourite made of @p name and @p link (trimmed) and stores the list. Refused
    /// (false) when the name is empty or the trimmed link does not parse as a URL.
    bool add(const QString &name, const QString &link);
    /// Stops @p favorite when it is the one playing, otherwise plays it.
    void toggle(const ATCFavorite &favorite);
    /// Drops any player, resolves the favourite's link and plays it; Buffering meanwhile.
    void play(const ATCFavorite &favorite);
    /// Stops @p favorite if it plays, then removes it from the list and stores the list.
    void remove(const ATCFavorite &favorite);
    /// Drops the player and any link being resolved; status and playingFavoriteID stay.
    void stopPlayerOnly();
    /// Drops the player; the status becomes Offline with the favourite's name.
    void markOffline(const ATCFavorite &favorite);

    /// The current player's output, for its volume; null when nothing plays.
    QAudioOutput *audioOutput() const { return m_output; }

Q_SIGNALS:
    void favoritesChanged();
    void statusChanged();
    void playingFavoriteIDChanged();
    void volumeChanged();

private:
    void startPlayer(const QUrl &url, const ATCFavorite &favorite);
    void followPlayer(const ATCFavorite &favorite);
    void stop();
    void persist();
    void setStatus(const Status &status);
    void setPlayingFavoriteID(const QUuid &id);

    Preferences *m_preferences;
    QNetworkAccessManager *m_network;
    Services m_services;
    QList<ATCFavorite> m_favorites;
    Status m_status;
    QUuid m_playingFavoriteID;
    double m_volume = 0.8;
    QPointer<StreamReply> m_resolving;
    QPointer<QMediaPlayer> m_player;
    QPointer<QAudioOutput> m_output;
    // Restarted whenever a stream that has played moves on; firing means it stopped moving.
    QTimer m_stall;
    bool m_hasPlayed = false;
    qint64 m_lastPosition = 0;
};
