// SPDX-License-Identifier: GPL-3.0-or-later
#include "testserver.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace {

// Limits that only a broken client reaches; they keep a runaway test from eating memory.
constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
constexpr qint64 kMaxBodyBytes = 64 * 1024 * 1024;

enum class ParseResult { Incomplete, Complete, Bad };

struct ParsedRequest {
    TestServer::Request request;
    qsizetype consumed = 0;
    bool head = false;
    bool keepAlive = true;
    int errorStatus = 400;
};

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 202:
        return "Accepted";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 406:
        return "Not Acceptable";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 410:
        return "Gone";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 415:
        return "Unsupported Media Type";
    case 422:
        return "Unprocessable Content";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    case 505:
        return "HTTP Version Not Supported";
    }
    if (status >= 200 && status < 300)
        return "Success";
    if (status >= 300 && status < 400)
        return "Redirection";
    if (status >= 400 && status < 500)
        return "Client Error";
    return "Server Error";
}

QString pathWithoutQuery(const QString &path)
{
    const qsizetype query = path.indexOf(u'?');
    return query < 0 ? path : path.left(query);
}

bool hasToken(const QByteArray &headerValue, const QByteArray &token)
{
    const QList<QByteArray> tokens = headerValue.split(',');
    for (const QByteArray &item : tokens) {
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Parses one request from the front of buffer. Incomplete until the headers and the whole
// Content-Length body are there, so requests split over several segments simply wait.
ParseResult parseRequest(const QByteArray &buffer, ParsedRequest &out)
{
    // Stray line breaks between requests are allowed and skipped.
    qsizetype start = 0;
    while (start + 1 < buffer.size() && buffer[start] == '\r' && buffer[start + 1] == '\n')
        start += 2;

    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n", start);
    if (headerEnd < 0) {
        if (buffer.size() - start > kMaxHeaderBytes) {
            out.errorStatus = 431;
            return ParseResult::Bad;
        }
        return ParseResult::Incomplete;
    }

    const QList<QByteArray> lines = buffer.mid(start, headerEnd - start).split('\n');
    const QList<QByteArray> requestLine = lines.constFirst().trimmed().split(' ');
    if (requestLine.size() != 3 || requestLine[0].isEmpty() || requestLine[1].isEmpty())
        return ParseResult::Bad;
    const QByteArray &version = requestLine[2];
    if (!version.startsWith("HTTP/1.")) {
        out.errorStatus = 505;
        return ParseResult::Bad;
    }

    TestServer::Request &request = out.request;
    request.method = requestLine[0];
    request.path = QString::fromUtf8(requestLine[1]);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return ParseResult::Bad;
        const QByteArray name = line.left(colon).toLower();
        if (name.contains(' ') || name.contains('\t'))
            return ParseResult::Bad;
        const QByteArray value = line.mid(colon + 1).trimmed();
        auto existing = request.headers.find(name);
        if (existing == request.headers.end())
            request.headers.insert(name, value);
        else
            *existing += ", " + value;
    }

    if (request.headers.contains("transfer-encoding")) {
        out.errorStatus = 501;
        return ParseResult::Bad;
    }

    qint64 contentLength = 0;
    if (request.headers.contains("content-length")) {
        bool ok = false;
        contentLength = request.headers.value("content-length").toLongLong(&ok);
        if (!ok || contentLength < 0)
            return ParseResult::Bad;
        if (contentLength > kMaxBodyBytes) {
            out.errorStatus = 413;
            return ParseResult::Bad;
        }
    }

    const qsizetype bodyStart = headerEnd + 4;
    if (buffer.size() - bodyStart < contentLength)
        return ParseResult::Incomplete;
    request.body = buffer.mid(bodyStart, contentLength);
    out.consumed = bodyStart + contentLength;
    out.head = request.method == "HEAD";

    const QByteArray connection = request.headers.value("connection");
    if (version == "HTTP/1.0")
        out.keepAlive = hasToken(connection, "keep-alive");
    else
        out.keepAlive = !hasToken(connection, "close");
    return ParseResult::Complete;
}

} // namespace

TestServer::TestServer(QObject *parent, quint16 port)
    : QObject(parent)
    , m_server(this)
{
    m_default.status = 404;
    m_default.contentType.clear();
    connect(&m_server, &QTcpServer::newConnection, this, &TestServer::acceptConnections);
    if (!m_server.listen(QHostAddress::LocalHost, port))
        qWarning("TestServer: cannot listen on 127.0.0.1: %s", qPrintable(m_server.errorString()));
}

TestServer::~TestServer()
{
    m_server.close();
    m_connections.clear();
    // Sockets (open, hanging or already closing) must not call back into a half-destroyed
    // server, so they are cut off and deleted here rather than by the QObject tree.
    const QList<QTcpSocket *> sockets =
        m_server.findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly);
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

QUrl TestServer::baseUrl() const
{
    QUrl url;
    url.setScheme(u"http"_s);
    url.setHost(u"127.0.0.1"_s);
    url.setPort(m_server.serverPort());
    return url;
}

QUrl TestServer::url(const QString &path) const
{
    return QUrl(baseUrl().toString() + path);
}

void TestServer::setReply(const QString &path, const Reply &reply)
{
    m_exact.insert(path, { reply });
}

void TestServer::setPrefixReply(const QString &prefix, const Reply &reply)
{
    m_prefixes.insert(prefix, reply);
}

void TestServer::setQueuedReplies(const QString &path, const QList<Reply> &replies)
{
    if (replies.isEmpty())
        m_exact.remove(path);
    else
        m_exact.insert(path, replies);
}

void TestServer::setDefaultReply(const Reply &reply)
{
    m_default = reply;
}

int TestServer::requestCount(const QString &pathPrefix) const
{
    int count = 0;
    for (const Request &request : m_requests) {
        if (pathWithoutQuery(request.path).startsWith(pathPrefix))
            ++count;
    }
    return count;
}

quint16 TestServer::closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void TestServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_connections.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFromSocket(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_connections.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            readFromSocket(socket);
    }
}

void TestServer::readFromSocket(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->buffer += socket->readAll();
    processBuffer(socket);
}

void TestServer::processBuffer(QTcpSocket *socket)
{
    // Look the connection up afresh each round: answering may close it, which removes it.
    for (;;) {
        auto it = m_connections.find(socket);
        if (it == m_connections.end() || it->busy || it->closing)
            return;

        ParsedRequest parsed;
        const ParseResult result = parseRequest(it->buffer, parsed);
        if (result == ParseResult::Incomplete)
            return;
        if (result == ParseResult::Bad) {
            sendErrorAndClose(socket, parsed.errorStatus);
            return;
        }
        it->buffer.remove(0, parsed.consumed);

        m_requests.append(parsed.request);
        Q_EMIT requestReceived(parsed.request);
        const Reply reply = takeReply(pathWithoutQuery(parsed.request.path));

        it = m_connections.find(socket);
        if (it == m_connections.end())
            return;
        if (reply.hang) {
            it->busy = true;
            return;
        }
        if (reply.closeWithoutAnswer) {
            closeConnection(socket);
            return;
        }
        const bool head = parsed.head;
        const bool closeAfter = !parsed.keepAlive;
        if (reply.delayMs > 0) {
            it->busy = true;
            QTimer::singleShot(reply.delayMs, socket, [this, socket, reply, head, closeAfter] {
                auto pending = m_connections.find(socket);
                if (pending == m_connections.end())
                    return;
                pending->busy = false;
                sendReply(socket, reply, head, closeAfter);
                processBuffer(socket);
            });
            return;
        }
        sendReply(socket, reply, head, closeAfter);
    }
}

TestServer::Reply TestServer::takeReply(const QString &path)
{
    auto exact = m_exact.find(path);
    if (exact != m_exact.end())
        return exact->size() > 1 ? exact->takeFirst() : exact->constFirst();

    const Reply *best = nullptr;
    qsizetype bestLength = -1;
    for (auto it = m_prefixes.cbegin(); it != m_prefixes.cend(); ++it) {
        if (it.key().size() > bestLength && path.startsWith(it.key())) {
            best = &it.value();
            bestLength = it.key().size();
        }
    }
    return best ? *best : m_default;
}

void TestServer::sendReply(
    QTcpSocket *socket, const Reply &reply, bool headRequest, bool closeAfter)
{
    // 1xx, 204 and 304 answers never carry a body; HEAD gets the headers a GET would get.
    const bool noBodyStatus = reply.status < 200 || reply.status == 204 || reply.status == 304;
    const bool sendBody = !headRequest && !noBodyStatus;

    QList<std::pair<QByteArray, QByteArray>> headers;
    if (!reply.contentType.isEmpty())
        headers.append({ "Content-Type", reply.contentType });
    if (reply.chunked)
        headers.append({ QByteArray("Transfer-Encoding"), QByteArray("chunked") });
    else if (!noBodyStatus)
        headers.append({ "Content-Length", QByteArray::number(reply.body.size()) });
    headers.append({ QByteArray("Connection"), QByteArray(closeAfter ? "close" : "keep-alive") });
    for (const auto &extra : reply.headers) {
        auto same = std::find_if(headers.begin(), headers.end(), [&extra](const auto &header) {
            return header.first.compare(extra.first, Qt::CaseInsensitive) == 0;
        });
        if (same != headers.end())
            same->second = extra.second;
        else
            headers.append(extra);
        if (extra.first.compare("connection", Qt::CaseInsensitive) == 0
            && hasToken(extra.second, "close"))
            closeAfter = true;
    }

    QByteArray out =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    for (const auto &[name, value] : headers)
        out += name + ": " + value + "\r\n";
    out += "\r\n";
    if (sendBody && reply.trickleMs > 0) {
        socket->write(out);
        trickle(socket, reply.body, reply.trickleMs, closeAfter);
        return;
    }
    if (sendBody && reply.chunked) {
        constexpr qsizetype chunk = 64 * 1024;
        for (qsizetype at = 0; at < reply.body.size(); at += chunk) {
            const QByteArray part = reply.body.mid(at, chunk);
            out += QByteArray::number(part.size(), 16) + "\r\n" + part + "\r\n";
        }
        out += "0\r\n\r\n";
    } else if (sendBody) {
        const bool cut = reply.truncate || reply.reset;
        out += cut ? reply.body.left(reply.body.size() / 2) : reply.body;
    }
    socket->write(out);

    if (reply.reset) {
        socket->flush();
        // A zero linger turns the close into a reset, as a crashing server's would be.
        const linger abortive { 1, 0 };
        ::setsockopt(
            int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        socket->abort();
        return;
    }
    if (closeAfter || reply.truncate)
        closeConnection(socket);
}

void TestServer::trickle(
    QTcpSocket *socket, const QByteArray &body, int intervalMs, bool closeAfter)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->busy = true;
    auto *timer = new QTimer(socket);
    timer->setInterval(intervalMs);
    auto sent = std::make_shared<qsizetype>(0);
    connect(timer, &QTimer::timeout, socket, [this, socket, timer, body, closeAfter, sent] {
        if (*sent < body.size()) {
            socket->write(body.mid((*sent)++, 1));
            return;
        }
        timer->deleteLater();
        auto done = m_connections.find(socket);
        if (done == m_connections.end())
            return;
        done->busy = false;
        if (closeAfter)
            closeConnection(socket);
        else
            processBuffer(socket);
    });
    timer->start();
}

void TestServer::sendErrorAndClose(QTcpSocket *socket, int status)
{
    Reply reply;
    reply.status = status;
    reply.contentType.clear();
    sendReply(socket, reply, false, true);
}

void TestServer::closeConnection(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->closing = true;
    it->buffer.clear();
    // Writes what is still buffered, then closes; may emit disconnected() right away.
    socket->disconnectFromHost();
}
