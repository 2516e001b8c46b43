// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "skyentry.h"

#include <QObject>
#include <QTimer>

class QFileSystemWatcher;
class SkyProvider;

/// Keeps one entry current for all widgets: one provider request serves every widget, the next
/// follows the timeline's reload time, and a rewrite or removal of the shared configuration asks
/// again at once (coalesced, since one save can touch the folder several times).
class WidgetRefresher : public QObject {
    Q_OBJECT
public:
    /// How long after a change in the data folder the request starts.
    static constexpr int settleMs = 1000;

    /// Watches widget-config.json in @p dataDirectory (created when missing, so that the watch
    /// holds before the application first writes).
    WidgetRefresher(SkyProvider *provider, const QString &dataDirectory, QObject *parent = nullptr);

    /// The newest entry; the provider's placeholder until the first request completes.
    const SkyEntry &entry() const { return m_entry; }
    /// While inactive (no widgets) nothing is requested; becoming active requests at once.
    void setActive(bool active);
    /// Requests now; a request already under way is followed by one more.
    void refresh();

Q_SIGNALS:
    void entryChanged(const SkyEntry &entry);

private:
    void configurationTouched();
    void finished(const SkyEntry &entry, const QDateTime &reloadAfter);

    SkyProvider *m_provider;
    QString m_configFile;
    /// The file's identity and time, so that the app's other files in the folder (the logbook
    /// saves every minute) do not cost a request.
    QByteArray m_stamp;
    QFileSystemWatcher *m_watcher;
    QTimer m_settle;
    QTimer m_reload;
    SkyEntry m_entry;
    bool m_active = false;
    bool m_requesting = false;
    bool m_again = false;
};
