// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgetrefresher.h"

#include "sharedstate.h"
#include "skyprovider.h"

#include <QDir>
#include <QFileSystemWatcher>

#include <sys/stat.h>

namespace {

QByteArray stampOf(const QString &path)
{
    struct stat status { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return QByteArray::number(qulonglong(status.st_ino)) + ' '
        + QByteArray::number(qlonglong(status.st_mtim.tv_sec)) + '.'
        + QByteArray::number(qlonglong(status.st_mtim.tv_nsec)) + ' '
        + QByteArray::number(qlonglong(status.st_size));
}

} // namespace

WidgetRefresher::WidgetRefresher(
    SkyProvider *provider, const QString &dataDirectory, QObject *parent)
    : QObject(parent)
    , m_provider(provider)
    , m_configFile(SharedState::filePath(dataDirectory))
    , m_stamp(stampOf(m_configFile))
    , m_watcher(new QFileSystemWatcher(this))
    , m_entry(provider->placeholder())
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, &WidgetRefresher::refresh);
    m_reload.setSingleShot(true);
    connect(&m_reload, &QTimer::timeout, this, &WidgetRefresher::refresh);

    // The application replaces the file by renaming a new one over it, which a watch on the
    // file itself would lose: the folder is watched, and the file too for in-place writes.
    QDir().mkpath(dataDirectory);
    m_watcher->addPath(dataDirectory);
    if (!m_stamp.isEmpty())
        m_watcher->addPath(m_configFile);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
        &WidgetRefresher::configurationTouched);
    connect(
        m_watcher, &QFileSystemWatcher::fileChanged, this, &WidgetRefresher::configurationTouched);
}

void WidgetRefresher::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (active) {
        refresh();
    } else {
        m_settle.stop();
        m_reload.stop();
    }
}

void WidgetRefresher::refresh()
{
    if (!m_active)
        return;
    m_settle.stop();
    if (m_requesting) {
        m_again = true;
        return;
    }
    m_requesting = true;
    m_provider->getTimeline([this](const SkyTimeline &timeline) {
        finished(timeline.entries.value(0, m_provider->placeholder()), timeline.reloadAfter);
    });
}

void WidgetRefresher::configurationTouched()
{
    const QByteArray stamp = stampOf(m_configFile);
    if (stamp == m_stamp)
        return;
    m_stamp = stamp;
    // The renamed-in file is a new one: watch it again (a no-op when it is already watched).
    if (!stamp.isEmpty())
        m_watcher->addPath(m_configFile);
    if (m_active)
        m_settle.start();
}

void WidgetRefresher::finished(const SkyEntry &entry, const QDateTime &reloadAfter)
{
    m_requesting = false;
    m_entry = entry;
    Q_EMIT entryChanged(m_entry);
    if (m_again) {
        m_again = false;
        refresh();
        return;
    }
    if (m_active)
        m_reload.start(int(qBound<qint64>(0, QDateTime::currentDateTime().msecsTo(reloadAfter),
            qint64(SkyProvider::reloadSeconds) * 1000)));
}
