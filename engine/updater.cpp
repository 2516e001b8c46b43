// SPDX-License-Identifier: GPL-3.0-or-later
#include "updater.h"

#include "appcastreply.h"
#include "preferences.h"
#include "textreply.h"
#include "updaterdelegate.h"
#include "updateuserdriver.h"
#include "weblink.h"

using namespace Qt::StringLiterals;

Updater::Updater(Preferences *preferences, QNetworkAccessManager *network, const Services &services,
    Options options, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_network(network)
    , m_feed(services.appcast)
    , m_userAgent(services.userAgent())
    , m_options(std::move(options))
{
    if (!m_options.openUrl)
        m_options.openUrl = &WebLink::open;
    connect(m_preferences, &Preferences::automaticallyChecksForUpdatesChanged, this,
        &Updater::automaticallyChecksForUpdatesChanged);
    m_schedule.setInterval(m_options.scheduledCheckInterval);
    connect(&m_schedule, &QTimer::timeout, this, &Updater::checkForUpdatesInBackground);
    m_schedule.start();
}

Updater::~Updater()
{
    // The driver may outlive this object; it must not answer a session that is gone.
    m_driver = nullptr;
    m_delegate = nullptr;
}

void Updater::setUserDriver(UpdateUserDriver *driver)
{
    if (driver == m_driver)
        return;
    // A window that goes away takes its session along.
    if (m_session) {
        m_driver = nullptr;
        endSession();
    }
    m_driver = driver;
}

bool Updater::automaticallyChecksForUpdates() const
{
    return m_preferences->automaticallyChecksForUpdates();
}

void Updater::setAutomaticallyChecksForUpdates(bool on)
{
    m_preferences->setAutomaticallyChecksForUpdates(on);
}

void Updater::checkForUpdates()
{
    if (!m_driver)
        return;
    if (m_session) {
        m_driver->showUpdateInFocus();
        return;
    }
    // The interactive check answers the same question, and the user is waiting for it.
    delete m_probe;
    beginSession();
    m_driver->showUserInitiatedUpdateCheck(whileSession([this] { endSession(); }));
    m_check = readFeed();
    connect(m_check, &Reply::finished, this, [this] { interactiveCheckEnded(); });
}

void Updater::checkForUpdateInformation()
{
    backgroundCheck(Kind::information);
}

void Updater::checkForUpdatesInBackground()
{
    if (automaticallyChecksForUpdates())
        backgroundCheck(Kind::scheduled);
}

AppcastReply *Updater::readFeed()
{
    return new AppcastReply(m_network, m_feed,
        RequestOptions { m_userAgent, m_options.timeoutMs, AppcastReply::maxBytes }, this);
}

void Updater::backgroundCheck(Kind kind)
{
    if (m_session || m_probe)
        return;
    m_probe = readFeed();
    connect(m_probe, &Reply::finished, this, [this, kind] { backgroundCheckEnded(kind); });
}

void Updater::backgroundCheckEnded(Kind kind)
{
    AppcastReply *reply = m_probe;
    m_probe.clear();
    reply->deleteLater();
    const QString error = reply->errorText();
    if (error.isEmpty()) {
        if (const auto item = validUpdate(reply->items(), false)) {
            if (m_delegate)
                m_delegate->didFindValidUpdate(*item);
            if (kind == Kind::scheduled) {
                // Sparkle's gentle reminders: the application may take the showing on itself.
                const bool handle = !m_delegate
                    || !m_delegate->supportsGentleScheduledUpdateReminders()
                    || m_delegate->shouldHandleShowingScheduledUpdate(*item, false);
                if (m_delegate)
                    m_delegate->willHandleShowingUpdate(handle, *item);
                if (handle && !m_session && m_driver) {
                    beginSession();
                    presentUpdate(*item, false);
                }
            }
        } else if (m_delegate) {
            m_delegate->didNotFindUpdate();
        }
    }
    Q_EMIT backgroundCheckFinished(error);
}

void Updater::interactiveCheckEnded()
{
    AppcastReply *reply = m_check;
    m_check.clear();
    reply->deleteLater();
    if (!m_session)
        return;
    if (!reply->errorText().isEmpty()) {
        m_driver->showUpdaterError(u"Couldn't check for updates: "_s + reply->errorText(),
            whileSession([this] { endSession(); }));
        return;
    }
    // The user asked: a skipped version is shown all the same.
    if (const auto item = validUpdate(reply->items(), true)) {
        if (m_delegate) {
            m_delegate->didFindValidUpdate(*item);
            m_delegate->willHandleShowingUpdate(true, *item);
        }
        presentUpdate(*item, true);
        return;
    }
    if (m_delegate)
        m_delegate->didNotFindUpdate();
    m_driver->showUpdateNotFound(m_options.currentVersion, whileSession([this] { endSession(); }));
}

std::optional<AppcastItem> Updater::validUpdate(
    const QList<AppcastItem> &items, bool includeSkipped) const
{
    const auto newest = Appcast::newest(items);
    if (!newest || Appcast::compareVersions(newest->version, m_options.currentVersion) <= 0)
        return std::nullopt;
    if (!includeSkipped && newest->version == m_preferences->skippedUpdateVersion())
        return std::nullopt;
    return newest;
}

void Updater::beginSession()
{
    m_session = true;
    ++m_sessionId;
    Q_EMIT sessionInProgressChanged();
}

void Updater::presentUpdate(const AppcastItem &item, bool inFocus)
{
    const quint64 session = m_sessionId;
    m_driver->showUpdateFound(item, m_options.currentVersion,
        [this, item, session, guard = QPointer(this)](UpdateChoice choice) {
            if (guard && m_session && m_sessionId == session)
                answer(item, choice);
        });
    // The window opens in front of the user, who asked for it.
    if (inFocus && m_delegate)
        m_delegate->didReceiveUserAttention(item);
    if (!item.description.isEmpty() || item.releaseNotesUrl.isEmpty())
        return;
    m_notes = new TextReply(m_network, item.releaseNotesUrl,
        RequestOptions { m_userAgent, m_options.timeoutMs, AppcastReply::maxBytes }, this);
    connect(m_notes, &Reply::finished, this, [this] {
        TextReply *reply = m_notes;
        m_notes.clear();
        reply->deleteLater();
        if (!m_session || !m_driver)
            return;
        if (reply->errorText().isEmpty())
            m_driver->showUpdateReleaseNotes(reply->text());
        else
            m_driver->showUpdateReleaseNotesFailedToDownload(reply->errorText());
    });
}

void Updater::answer(const AppcastItem &item, UpdateChoice choice)
{
    switch (choice) {
    case UpdateChoice::download:
        m_options.openUrl(item.downloadPage());
        break;
    case UpdateChoice::skip:
        m_preferences->setSkippedUpdateVersion(item.version);
        break;
    case UpdateChoice::remindLater:
        break;
    }
    endSession();
}

void Updater::endSession()
{
    if (!m_session)
        return;
    delete m_check;
    delete m_notes;
    m_session = false;
    Q_EMIT sessionInProgressChanged();
    if (m_delegate)
        m_delegate->willFinishUpdateSession();
    if (m_driver)
        m_driver->dismissUpdateInstallation();
}

std::function<void()> Updater::whileSession(std::function<void()> action)
{
    return [this, action = std::move(action), session = m_sessionId, guard = QPointer(this)] {
        if (guard && m_session && m_sessionId == session)
            action();
    };
}
