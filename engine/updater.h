// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "appcast.h"
#include "requestoptions.h"
#include "services.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>

class AppcastReply;
class Preferences;
class QNetworkAccessManager;
class TextReply;
class UpdaterDelegate;
class UpdateUserDriver;
enum class UpdateChoice;

/// The appcast updater that stands in for Sparkle: it reads the release feed, compares its
/// newest item with the running version and reports through its delegate; in an interactive
/// check it shows the outcome through its user driver. It installs nothing: "Download" opens
/// the release's page, and the user's package manager does the rest.
///
/// One interactive session at a time. Checks that show nothing (the information check the
/// application's probe asks for, and the daily scheduled check while automatic checks are on)
/// treat the skipped version as nothing new and keep quiet about failures.
class Updater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool sessionInProgress READ sessionInProgress NOTIFY sessionInProgressChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
            setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)

public:
    struct Options {
        /// The version running, compared with the feed's.
        QString currentVersion = QStringLiteral(SKYVELLE_VERSION);
        /// How often the scheduled check runs while automatic checks are on.
        std::chrono::milliseconds scheduledCheckInterval = std::chrono::hours(24);
        /// The time-out of each request (the feed, the release notes).
        int timeoutMs = RequestOptions::defaultTimeoutMs;
        /// Opens the download page; the browser unless a test says otherwise.
        std::function<bool(const QUrl &)> openUrl;
    };

    /// Reads the feed at @p services' appcast address through @p network; keeps its settings
    /// and the skipped version in @p preferences. The scheduled checks start at once.
    Updater(Preferences *preferences, QNetworkAccessManager *network, const Services &services,
        Options options, QObject *parent = nullptr);
    ~Updater() override;

    /// Told of every outcome; nullptr for none. Not owned.
    void setDelegate(UpdaterDelegate *delegate) { m_delegate = delegate; }
    /// Shows interactive sessions; without one there are none. Not owned. A session open in
    /// the previous driver ends.
    void setUserDriver(UpdateUserDriver *driver);

    const QString &currentVersion() const { return m_options.currentVersion; }
    const QUrl &feedUrl() const { return m_feed; }

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool on);
    /// Whether an interactive session is open: a check under way or its outcome on screen.
    bool sessionInProgress() const { return m_session; }

    /// The interactive check: opens a session in the user driver ("Checking for updates…",
    /// then the new version, "up to date" or the error). While a session is open it only
    /// brings the window forward.
    void checkForUpdates();
    /// The background check: reads the feed and reports to the delegate, shows nothing, and
    /// reports nothing when it fails. Does nothing while a session is open or a background
    /// check runs.
    void checkForUpdateInformation();
    /// What the daily schedule runs: like checkForUpdateInformation(), but a new version goes
    /// to the user driver unless the delegate takes the showing on itself. Does nothing while
    /// automatic checks are off.
    void checkForUpdatesInBackground();

Q_SIGNALS:
    void sessionInProgressChanged();
    void automaticallyChecksForUpdatesChanged();
    /// A check that shows nothing ended; @p error is empty when it read the feed.
    void backgroundCheckFinished(const QString &error);

private:
    enum class Kind { information, scheduled };

    AppcastReply *readFeed();
    void backgroundCheck(Kind kind);
    void backgroundCheckEnded(Kind kind);
    void interactiveCheckEnded();
    // The newest item when it is newer than the running version and, unless @p includeSkipped,
    // not the version the user skipped.
    std::optional<AppcastItem> validUpdate(
        const QList<AppcastItem> &items, bool includeSkipped) const;
    void beginSession();
    void presentUpdate(const AppcastItem &item, bool inFocus);
    void answer(const AppcastItem &item, UpdateChoice choice);
    void endSession();
    // A callback for the user driver that runs @p action only while this session lasts.
    std::function<void()> whileSession(std::function<void()> action);

    Preferences *m_preferences;
    QNetworkAccessManager *m_network;
    QUrl m_feed;
    QByteArray m_userAgent;
    Options m_options;
    UpdaterDelegate *m_delegate = nullptr;
    UpdateUserDriver *m_driver = nullptr;
    QTimer m_schedule;
    bool m_session = false;
    // Counts sessions, so that a callback from an ended one does nothing.
    quint64 m_sessionId = 0;
    QPointer<AppcastReply> m_check; // the interactive check's read
    QPointer<AppcastReply> m_probe; // a background check's read
    QPointer<TextReply> m_notes;
};
