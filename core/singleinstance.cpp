// SPDX-License-Identifier: GPL-3.0-or-later
#include "singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A connected socket to @p path, -1 when nothing accepts there. *refused tells a stale socket
// (nobody listening) from a path that is missing or unusable.
int connectTo(const QString &path, bool *refused = nullptr)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address {};
    if (name.size() >= qsizetype(sizeof(address.sun_path)))
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        if (refused)
            *refused = errno == ECONNREFUSED;
        ::close(fd);
        return -1;
    }
    // In a shared temporary folder someone else could listen under our name first; only a
    // process of this user gets the link.
    ucred peer {};
    socklen_t size = sizeof(peer);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QString SingleInstance::defaultSocketPath(const QString &program)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = QDir::isAbsolutePath(runtime) ? runtime : QDir::tempPath();
    return u"%1/%2-%3.socket"_s.arg(folder, program).arg(::geteuid());
}

bool SingleInstance::handOff(const QString &socketPath, const QString &argument)
{
    const int fd = connectTo(socketPath);
    if (fd < 0)
        return false;
    const QByteArray message = argument.toUtf8().left(maxMessageBytes - 1) + '\n';
    const char *data = message.constData();
    qsizetype left = message.size();
    while (left > 0) {
        const ssize_t n = ::send(fd, data, size_t(left), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data += n;
        left -= n;
    }
    ::close(fd);
    return left == 0;
}

SingleInstance::SingleInstance(const QString &socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(socketPath)
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen()
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        // Only this user may connect, also where the socket lands in a shared folder.
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    }
    if (m_server->isListening())
        return true;
    // Asked first, because with access options Qt renames its socket over whatever is at the
    // name, a live Skyvelle's socket included.
    bool refused = false;
    if (const int live = connectTo(m_socketPath, &refused); live >= 0) {
        ::close(live);
        return false;
    }
    // Nobody answers at the name: the socket of a Skyvelle that did not get to clean up.
    if (refused && !QLocalServer::removeServer(m_socketPath))
        return false;
    return m_server->listen(m_socketPath);
}

void SingleInstance::accept()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { read(client); });
        QTimer::singleShot(clientTimeoutMs, client, [client] { client->abort(); });
        read(client);
    }
}

void SingleInstance::read(QLocalSocket *client)
{
    if (!client->canReadLine()) {
        if (client->bytesAvailable() >= maxMessageBytes)
            client->abort();
        return;
    }
    QByteArray line = client->readLine(maxMessageBytes + 1);
    if (line.endsWith('\n'))
        line.chop(1);
    // One message per connection; the client is done.
    client->disconnect(this);
    client->abort();
    Q_EMIT received(QString::fromUtf8(line));
}
