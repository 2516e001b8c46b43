// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QProcess;

// Makes this program the user's handler of skyvelle:// links when nothing handles them yet, so
// that links from a browser, xdg-open or a desktop widget reach it. The work runs through
// xdg-mime (xdg-utils) in child processes; the GUI thread never waits for them.
class SchemeHandler : public QObject {
    Q_OBJECT
public:
    explicit SchemeHandler(QObject *parent);

    // Asks xdg-mime for the scheme's handler. When there is none: writes a desktop entry that
    // runs @p executablePath (absolute) to the user's applications folder, unless an installed
    // skyvelle.desktop is found in the XDG data folders, and makes skyvelle.desktop the
    // default. A handler the user already has, Skyvelle or not, is left alone. Ignored while a
    // check is running.
    void ensureRegistered(const QString &executablePath);

    // The desktop entry text for a copy of the program at @p executablePath.
    static QByteArray desktopEntry(const QString &executablePath);

Q_SIGNALS:
    // The outcome in one line for the diagnostic log: the registration or why it failed. Not
    // emitted when the scheme already had a handler.
    void logLine(const QString &line);
    // The check is over, whatever its outcome.
    void finished();

private:
    void handlerFound(const QString &handler);
    void handlerSet(const QString &writtenEntry);
    void fail(const QString &why);
    // Runs xdg-mime with @p arguments and calls @p done with its standard output when it exits
    // with status 0; any other end is reported through fail().
    void runXdgMime(const QStringList &arguments, std::function<void(const QByteArray &)> done);

    QProcess *m_process = nullptr;
    QString m_executable;
};
