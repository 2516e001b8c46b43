// SPDX-License-Identifier: GPL-3.0-or-later
#include "testserver.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<QNetworkReply> fetch(QNetworkAccessManager &nam, const QUrl &url,
    const QByteArray &verb = "GET", int timeoutMs = 5000)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    std::unique_ptr<QNetworkReply> reply(
        verb == "HEAD" ? nam.head(request) : nam.sendCustomRequest(request, verb));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(timeoutMs + 3000);
    return reply;
}

// One whole answer (headers plus Content-Length body) from a raw connection, or empty.
QByteArray readAnswer(QTcpSocket &socket, QByteArray &pending, bool head = false)
{
    for (;;) {
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end >= 0) {
            const qsizetype at = pending.indexOf("Content-Length: ");
            const qsizetype length = !head && at >= 0 && at < end
                ? pending.mid(at + 16, pending.indexOf("\r\n", at) - at - 16).toLongLong()
                : 0;
            if (pending.size() >= end + 4 + length) {
                const QByteArray answer = pending.left(end + 4 + length);
                pending.remove(0, answer.size());
                return answer;
            }
        }
        if (!QTest::qWaitFor([&socket] { return socket.bytesAvailable() > 0; }, 3000))
            return {};
        pending += socket.readAll();
    }
}

} // namespace

class TestServerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void requestLog();
    void routing_data();
    void routing();
    void queuedReplies();
    void failures_data();
    void failures();
    void rawConnectionKeepAlive();

private:
    QNetworkAccessManager m_nam;
};

void TestServerTest::roundTrip_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QByteArray>("expectedBody");

    QTest::newRow("200") << "GET"_ba << 200 << R"({"ok":true})"_ba << 0 << R"({"ok":true})"_ba;
    QTest::newRow("503 keeps its body") << "GET"_ba << 503 << "busy"_ba << 0 << "busy"_ba;
    QTest::newRow("HEAD has no body") << "HEAD"_ba << 200 << "abcdef"_ba << 0 << QByteArray();
    QTest::newRow("delayed") << "GET"_ba << 201 << "late"_ba << 150 << "late"_ba;
}

void TestServerTest::roundTrip()
{
    QFETCH(QByteArray, verb);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, delayMs);
    QFETCH(QByteArray, expectedBody);

    TestServer server;
    QVERIFY(server.isListening());
    server.setReply(u"/r"_s,
        { .status = status,
            .body = body,
            .headers = { { "X-Extra", "yes" } },
            .delayMs = delayMs });
    QElapsedTimer clock;
    clock.start();
    const auto reply = fetch(m_nam, server.url(u"/r"_s), verb);
    QVERIFY(reply->isFinished());
    QVERIFY(clock.elapsed() >= delayMs);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
    QVERIFY(!reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().isEmpty());
    QCOMPARE(reply->readAll(), expectedBody);
    QCOMPARE(reply->rawHeader("Content-Type"), "application/json"_ba);
    QCOMPARE(reply->rawHeader("Content-Length"), QByteArray::number(body.size()));
    QCOMPARE(reply->rawHeader("X-Extra"), "yes"_ba);
}

void TestServerTest::requestLog()
{
    TestServer server;
    QSignalSpy received(&server, &TestServer::requestReceived);
    QNetworkRequest request(server.url(u"/v2/a%20b/-1.5?q=%C3%A9"_s));
    request.setHeader(QNetworkRequest::UserAgentHeader, "SkyvelleTest/1"_ba);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain"_ba);
    request.setTransferTimeout(5000);
    std::unique_ptr<QNetworkReply> reply(m_nam.post(request, "payload"_ba));
    QTRY_VERIFY(reply->isFinished());
    QCOMPARE(reply->error(), QNetworkReply::ContentNotFoundError);

    QCOMPARE(server.requests().size(), 1);
    const TestServer::Request logged = server.requests().constFirst();
    QCOMPARE(logged.method, "POST"_ba);
    QCOMPARE(logged.path, u"/v2/a%20b/-1.5?q=%C3%A9"_s);
    QCOMPARE(logged.headers.value("user-agent"), "SkyvelleTest/1"_ba);
    QCOMPARE(logged.headers.value("content-length"), "7"_ba);
    QCOMPARE(logged.body, "payload"_ba);
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.at(0).at(0).value<TestServer::Request>().body, "payload"_ba);
    QCOMPARE(server.requestCount(u"/v2/a%20b"_s), 1);
    QCOMPARE(server.requestCount(u"/v2/x"_s), 0);
    server.clearRequests();
    QCOMPARE(server.requestCount(), 0);
}

void TestServerTest::routing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("exact beats prefix") << u"/exact"_s << 200 << "exact"_ba;
    QTest::newRow("query ignored") << u"/exact?x=/exact/y"_s << 200 << "exact"_ba;
    QTest::newRow("longest prefix") << u"/exact/more"_s << 202 << "long"_ba;
    QTest::newRow("shorter prefix") << u"/exam"_s << 201 << "short"_ba;
    QTest::newRow("default") << u"/other"_s << 404 << QByteArray();
}

void TestServerTest::routing()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    TestServer server;
    server.setReply(u"/exact"_s, { .body = "exact" });
    server.setPrefixReply(u"/ex"_s, { .status = 201, .body = "short" });
    server.setPrefixReply(u"/exact"_s, { .status = 202, .body = "long" });
    const auto reply = fetch(m_nam, server.url(path));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
    QCOMPARE(reply->readAll(), body);
}

void TestServerTest::queuedReplies()
{
    TestServer server;
    server.setQueuedReplies(
        u"/q"_s, { { .body = "one" }, { .status = 500, .body = "two" }, { .body = "three" } });
    const QList<QByteArray> expected { "one", "two", "three", "three" };
    for (const QByteArray &body : expected)
        QCOMPARE(fetch(m_nam, server.url(u"/q"_s))->readAll(), body);
    QCOMPARE(server.requestCount(u"/q"_s), 4);
}

void TestServerTest::failures_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("error");

    QTest::newRow("hang hits the transfer timeout")
        << u"hang"_s << int(QNetworkReply::OperationCanceledError);
    QTest::newRow("truncate") << u"truncate"_s << int(QNetworkReply::RemoteHostClosedError);
    QTest::newRow("close") << u"close"_s << int(QNetworkReply::RemoteHostClosedError);
    QTest::newRow("refused") << u"refused"_s << int(QNetworkReply::ConnectionRefusedError);
}

void TestServerTest::failures()
{
    QFETCH(QString, mode);
    QFETCH(int, error);

    TestServer server;
    server.setReply(u"/f"_s,
        { .body = QByteArray(4000, 'x'),
            .hang = mode == u"hang",
            .truncate = mode == u"truncate",
            .closeWithoutAnswer = mode == u"close" });
    QUrl url = server.url(u"/f"_s);
    if (mode == u"refused")
        url.setPort(TestServer::closedPort());
    QElapsedTimer clock;
    clock.start();
    const auto reply = fetch(m_nam, url, "GET", 300);
    QVERIFY(reply->isFinished());
    QCOMPARE(int(reply->error()), error);
    // The client's timer is coarse and may fire up to 5 % early.
    if (mode == u"hang")
        QVERIFY2(clock.elapsed() >= 280, QByteArray::number(clock.elapsed()).constData());
    QCOMPARE(server.requestCount() > 0, mode != u"refused");
}

void TestServerTest::rawConnectionKeepAlive()
{
    TestServer server;
    server.setReply(u"/a"_s, { .body = "alpha", .contentType = "text/plain" });
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, server.baseUrl().port());
    QTRY_VERIFY(socket.state() == QAbstractSocket::ConnectedState);
    QByteArray pending;

    // Requests split over segments, on one connection: GET, HEAD, then a POST that closes it.
    socket.write("GET /a HTTP/1.1\r\nHost: x\r\nUser-");
    QTest::qWait(50);
    socket.write("Agent: raw\r\n\r\n");
    const QByteArray first = readAnswer(socket, pending);
    QVERIFY2(first.startsWith("HTTP/1.1 200 OK\r\n"), first.constData());
    QVERIFY(first.endsWith("\r\n\r\nalpha"));

    socket.write("HEAD /a HTTP/1.1\r\nHost: x\r\n\r\n");
    const QByteArray head = readAnswer(socket, pending, true);
    QVERIFY(head.contains("Content-Length: 5\r\n"));
    QVERIFY(head.endsWith("\r\n\r\n"));

    socket.write(
        "POST /none HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\nConnection: close\r\n\r\na");
    QTest::qWait(50);
    socket.write("bc");
    QVERIFY(readAnswer(socket, pending).startsWith("HTTP/1.1 404 Not Found\r\n"));
    QTRY_VERIFY(socket.state() == QAbstractSocket::UnconnectedState);
    QVERIFY(pending.isEmpty());

    QCOMPARE(server.requestCount(), 3);
    QCOMPARE(server.requests().at(0).headers.value("user-agent"), "raw"_ba);
    QCOMPARE(server.requests().at(2).body, "abc"_ba);
}

QTEST_GUILESS_MAIN(TestServerTest)
#include "tst_testserver.moc"
