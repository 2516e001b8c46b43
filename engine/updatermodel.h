// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "updaterdelegate.h"

#include <QObject>
#include <QString>

#include <chrono>

class Updater;

/// The published update state that the main window turns into its banner, and the two ways
/// in: the quiet probe and the interactive check. One instance, made by the application
/// object. As the updater's delegate it sets the state when a valid update is found or a
/// scheduled one is left to the application, and clears it when nothing newer is found, when
/// the user has seen the update and when a session ends; after every session the probe runs
/// again.
class UpdaterModel : public QObject, private UpdaterDelegate {
    Q_OBJECT
    Q_PROPERTY(bool updateAvailable READ updateAvailable NOTIFY updateAvailableChanged)
    Q_PROPERTY(QString availableVersion READ availableVersion NOTIFY availableVersionChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
            setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(bool sessionInProgress READ sessionInProgress NOTIFY sessionInProgressChanged)

public:
    /// The waits before the quiet probe; tests shorten them.
    struct Delays {
        std::chrono::milliseconds afterStart = std::chrono::seconds(5);
        std::chrono::milliseconds afterSession = std::chrono::seconds(3);
    };

    /// Takes @p updater (the controller) as a child and becomes its delegate; the probe runs
    /// once @p delays' afterStart has passed.
    UpdaterModel(Updater *updater, Delays delays, QObject *parent = nullptr);

    Updater *updater() const { return m_updater; }

    /// A newer version is known and has not been dealt with.
    bool updateAvailable() const { return m_updateAvailable; }
    /// That version's display string; empty when unknown.
    const QString &availableVersion() const { return m_availableVersion; }

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool on);
    bool sessionInProgress() const;

    /// The interactive check, for "Check for Updates…" and the banner.
    void checkForUpdates();
    /// The background check, unless automatic checks are off or a session is open.
    void probeQuietly();

Q_SIGNALS:
    void updateAvailableChanged();
    void availableVersionChanged();
    void automaticallyChecksForUpdatesChanged();
    void sessionInProgressChanged();

private:
    void didFindValidUpdate(const AppcastItem &item) override;
    void didNotFindUpdate() override;
    bool supportsGentleScheduledUpdateReminders() const override;
    bool shouldHandleShowingScheduledUpdate(const AppcastItem &item, bool immediateFocus) override;
    void willHandleShowingUpdate(bool handleShowingUpdate, const AppcastItem &item) override;
    void didReceiveUserAttention(const AppcastItem &item) override;
    void willFinishUpdateSession() override;

    void setUpdate(bool available, const QString &version);

    Updater *m_updater;
    Delays m_delays;
    bool m_updateAvailable = false;
    QString m_availableVersion;
};
