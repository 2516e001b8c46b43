// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

/// One Skyvelle (or one widget host) per user. The first process listens on a per-user local
/// socket; a later launch hands its argument (a link, or nothing) over and exits, and the first
/// reports it through received().
///
/// The message is the argument in UTF-8 and a line feed. Whatever arrives is only data: a client
/// that sends garbage, too much, or nothing at all is dropped without holding anything up.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    /// "$XDG_RUNTIME_DIR/<program>-<uid>.socket", or the same name in the temporary folder when
    /// the session has no runtime folder.
    static QString defaultSocketPath(const QString &program = QStringLiteral("skyvelle"));
    /// A message longer than this is not a link; the client is dropped.
    static constexpr qsizetype maxMessageBytes = 64 * 1024;
    /// A client that has not finished its message by then is dropped.
    static constexpr int clientTimeoutMs = 2000;

    /// Gives @p argument to the Skyvelle of this user already listening at @p socketPath.
    /// False when none is (nothing listens, or only a stale socket is left). Plain system calls
    /// and no event loop, so main() can ask before the application object exists.
    static bool handOff(const QString &socketPath, const QString &argument);

    explicit SingleInstance(const QString &socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    /// Starts listening. A socket left behind by a Skyvelle that crashed is removed and taken
    /// over; false when a live Skyvelle holds it (or it cannot be created).
    bool listen();
    QString socketPath() const { return m_socketPath; }

Q_SIGNALS:
    /// Another launch handed over @p argument (empty: it was started without one).
    void received(const QString &argument);

private:
    void accept();
    void read(QLocalSocket *client);

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
};
