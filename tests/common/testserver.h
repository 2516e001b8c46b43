// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>

#include <utility>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for network tests. It lives in the test's thread and
// answers from the test's event loop with canned replies chosen by path, and logs every request.
// Keep-alive, pipelined and concurrent connections are served; there is no TLS and no chunked
// request body. Connections left open (hanging replies, idle keep-alive) are closed when the
// server is destroyed.
class TestServer : public QObject {
    Q_OBJECT

public:
    // Members all have initializers so that designated initializers build warning-free.
    struct Reply {
        int status = 200;
        QByteArray body {};
        QByteArray contentType = "application/json"; // empty: no Content-Type header
        // Extra response headers. One named like a default header (Content-Type,
        // Content-Length, Connection) replaces it; "Connection: close" also closes after it.
        QList<std::pair<QByteArray, QByteArray>> headers {};
        int delayMs = 0; // answer after this delay
        bool hang = false; // read the request, never answer (until the server is destroyed)
        bool truncate = false; // full Content-Length, then half the body, then close
        bool reset = false; // full Content-Length, then half the body, then a TCP reset
        bool closeWithoutAnswer = false; // read the request, then close with no bytes
        int trickleMs = 0; // send the body one byte at a time, this far apart
        bool chunked = false; // no Content-Length: the body in chunks of 64 KiB
    };

    struct Request {
        QByteArray method {};
        QString path {}; // with the query, percent-encoding as received
        QMap<QByteArray, QByteArray> headers {}; // names lower-cased; repeated ones joined by ", "
        QByteArray body {};
    };

    // Listens on @p port, or on any free one when it is 0.
    explicit TestServer(QObject *parent = nullptr, quint16 port = 0);
    ~TestServer() override;

    bool isListening() const { return m_server.isListening(); }
    QUrl baseUrl() const; // "http://127.0.0.1:<port>"
    QUrl url(const QString &path) const; // baseUrl() + path, which may carry a query

    // Routing looks at the path without its query: an exact route first, then the longest
    // matching prefix, then the default reply (initially 404 with an empty body).
    void setReply(const QString &path, const Reply &reply);
    void setPrefixReply(const QString &prefix, const Reply &reply);
    // One reply per request in order; the last one repeats. Replaces setReply() for the path.
    void setQueuedReplies(const QString &path, const QList<Reply> &replies);
    void setDefaultReply(const Reply &reply);

    QList<Request> requests() const { return m_requests; }
    // Requests whose path without query starts with pathPrefix (all when it is empty).
    int requestCount(const QString &pathPrefix = {}) const;
    void clearRequests() { m_requests.clear(); }

    // A port on 127.0.0.1 where nothing listens, for "connection refused" tests.
    static quint16 closedPort();

Q_SIGNALS:
    // Emitted before the reply is chosen, so a handler may still change the routes.
    void requestReceived(const TestServer::Request &request);

private:
    struct Connection {
        QByteArray buffer;
        bool busy = false; // a delayed or hanging reply is pending
        bool closing = false;
    };

    void acceptConnections();
    void readFromSocket(QTcpSocket *socket);
    void processBuffer(QTcpSocket *socket);
    Reply takeReply(const QString &path);
    void sendReply(QTcpSocket *socket, const Reply &reply, bool headRequest, bool closeAfter);
    void trickle(QTcpSocket *socket, const QByteArray &body, int intervalMs, bool closeAfter);
    void sendErrorAndClose(QTcpSocket *socket, int status);
    void closeConnection(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QTcpSocket *, Connection> m_connections;
    QHash<QString, QList<Reply>> m_exact;
    QMap<QString, Reply> m_prefixes;
    Reply m_default;
    QList<Request> m_requests;
};
