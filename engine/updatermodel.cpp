// SPDX-License-Identifier: GPL-3.0-or-later
#include "updatermodel.h"

#include "updater.h"

#include <QTimer>

UpdaterModel::UpdaterModel(Updater *updater, Delays delays, QObject *parent)
    : QObject(parent)
    , m_updater(updater)
    , m_delays(delays)
{
    m_updater->setParent(this);
    m_updater->setDelegate(this);
    connect(m_updater, &Updater::automaticallyChecksForUpdatesChanged, this,
        &UpdaterModel::automaticallyChecksForUpdatesChanged);
    connect(m_updater, &Updater::sessionInProgressChanged, this,
        &UpdaterModel::sessionInProgressChanged);
    QTimer::singleShot(m_delays.afterStart, this, &UpdaterModel::probeQuietly);
}

bool UpdaterModel::automaticallyChecksForUpdates() const
{
    return m_updater->automaticallyChecksForUpdates();
}

void UpdaterModel::setAutomaticallyChecksForUpdates(bool on)
{
    m_updater->setAutomaticallyChecksForUpdates(on);
}

bool UpdaterModel::sessionInProgress() const
{
    return m_updater->sessionInProgress();
}

void UpdaterModel::checkForUpdates()
{
    m_updater->checkForUpdates();
}

void UpdaterModel::probeQuietly()
{
    // Off means the user wants no checks they did not ask for; a session answers already.
    if (!m_updater->automaticallyChecksForUpdates() || m_updater->sessionInProgress())
        return;
    m_updater->checkForUpdateInformation();
}

void UpdaterModel::didFindValidUpdate(const AppcastItem &item)
{
    setUpdate(true, item.displayVersionString());
}

void UpdaterModel::didNotFindUpdate()
{
    setUpdate(false, {});
}

bool UpdaterModel::supportsGentleScheduledUpdateReminders() const
{
    return true;
}

bool UpdaterModel::shouldHandleShowingScheduledUpdate(const AppcastItem &, bool)
{
    // The banner points at a scheduled update; no window interrupts the user.
    return false;
}

void UpdaterModel::willHandleShowingUpdate(bool handleShowingUpdate, const AppcastItem &item)
{
    if (!handleShowingUpdate)
        setUpdate(true, item.displayVersionString());
}

void UpdaterModel::didReceiveUserAttention(const AppcastItem &)
{
    setUpdate(false, {});
}

void UpdaterModel::willFinishUpdateSession()
{
    setUpdate(false, {});
    QTimer::singleShot(m_delays.afterSession, this, &UpdaterModel::probeQuietly);
}

void UpdaterModel::setUpdate(bool available, const QString &version)
{
    const bool availableChanged = available != m_updateAvailable;
    const bool versionChanged = version != m_availableVersion;
    m_updateAvailable = available;
    m_availableVersion = version;
    if (availableChanged)
        Q_EMIT updateAvailableChanged();
    if (versionChanged)
        Q_EMIT availableVersionChanged();
}
