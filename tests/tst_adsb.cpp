// SPDX-License-Identifier: GPL-3.0-or-later
#include "adsb.h"
#include "testserver.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const HomeLocation home { 45.5, -122.6, u"Home"_s };
const QString primaryPath = u"/v2/point/45.50000/-122.60000/25"_s;
const QString secondaryPath = u"/api/v2/lat/45.50000/lon/-122.60000/dist/25"_s;
// Time-out and deadline for the tests that wait for them.
constexpr int shortTimeoutMs = 300;
// For the tests that must not time out: far longer than any answer from this machine.
constexpr int longTimeoutMs = 5000;

RequestOptions options(int timeoutMs = longTimeoutMs)
{
    return RequestOptions { "Skyvelle/" SKYVELLE_VERSION " (+https://example.org/skyvelle)",
        timeoutMs };
}

QByteArray records(std::initializer_list<const char *> hexes, const char *key = "ac")
{
    QByteArray list;
    double distance = 1.0;
    for (const char *hex : hexes) {
        if (!list.isEmpty())
            list += ',';
        list += "{\"hex\":\"" + QByteArray(hex)
            + "\",\"lat\":45.6,\"lon\":-122.5,\"dst\":" + QByteArray::number(distance++) + '}';
    }
    return "{\"" + QByteArray(key) + "\":[" + list + "]}";
}

TestServer::Reply reply(const QByteArray &body, int status = 200)
{
    TestServer::Reply r;
    r.status = status;
    r.body = body;
    return r;
}

// How a row's source behaves.
TestServer::Reply behaviour(const QString &kind)
{
    if (kind == "aircraft"_L1)
        return reply(records({ "a1", "a2" }));
    if (kind == "empty"_L1)
        return reply(R"({"ac":[]})"_ba);
    if (kind == "503"_L1)
        return reply("Service Unavailable", 503);
    if (kind == "204"_L1)
        return reply(QByteArray(), 204);
    if (kind == "garbage"_L1)
        return reply("<html>rate limited</html>");
    if (kind == "bad record"_L1)
        return reply(R"({"ac":[{"hex":"a1","lat":1,"lon":2},{"lat":1}]})"_ba);
    if (kind == "wrong type"_L1)
        return reply(R"({"ac":[{"hex":"a1","gs":"fast"}]})"_ba);
    if (kind == "10 MB of garbage"_L1)
        return reply(QByteArray(10 * 1024 * 1024, '\x9c'));
    if (kind == "nested 10,000 deep"_L1)
        return reply("{\"ac\":" + QByteArray(10'000, '[') + QByteArray(10'000, ']') + '}');
    TestServer::Reply r = reply(records({ "a1" }));
    if (kind == "truncated"_L1)
        r.truncate = true;
    else if (kind == "reset"_L1)
        r.reset = true;
    else if (kind == "closed"_L1)
        r.closeWithoutAnswer = true;
    else
        qFatal("unknown behaviour %s", qPrintable(kind));
    return r;
}

struct Outcome {
    std::optional<FeedResult> result;
    std::optional<QString> error;
    int reports = 0;
};

Outcome run(FeedFetch *fetch)
{
    Outcome outcome;
    QObject::connect(fetch, &Reply::finished, fetch, [&] { ++outcome.reports; });
    if (!QTest::qWaitFor([&] { return outcome.reports > 0; }, 4 * longTimeoutMs))
        qWarning("the fetch reported nothing in time");
    // A second report would show up here.
    QCoreApplication::processEvents();
    if (outcome.reports != 1)
        qWarning("the fetch reported %d times", outcome.reports);
    else if (fetch->errorText().isEmpty())
        outcome.result = fetch->result();
    else
        outcome.error = fetch->errorText();
    delete fetch;
    return outcome;
}

} // namespace

class TestAdsb : public QObject {
    Q_OBJECT

    Services servicesFor(const QUrl &primary, const QUrl &secondary) const
    {
        QVariantMap overrides;
        overrides.insert(u"feedPrimary"_s, primary.toString());
        overrides.insert(u"feedSecondary"_s, secondary.toString());
        overrides.insert(u"feedPrimaryName"_s, u"Primary"_s);
        overrides.insert(u"feedSecondaryName"_s, u"Secondary"_s);
        overrides.insert(u"homepage"_s, u"https://example.org/skyvelle"_s);
        return Services::withOverrides(overrides);
    }

private Q_SLOTS:
    void queryRadius_data()
    {
        QTest::addColumn<double>("radius");
        QTest::addColumn<int>("sent");
        QTest::newRow("25") << 25.0 << 25;
        QTest::newRow("24.5") << 24.5 << 25;
        QTest::newRow("2.5") << 2.5 << 3;
        QTest::newRow("0.2") << 0.2 << 1;
        QTest::newRow("0") << 0.0 << 1;
        QTest::newRow("negative") << -5.0 << 1;
        QTest::newRow("1000") << 1000.0 << 250;
        QTest::newRow("nan") << double(NAN) << 1;
        QTest::newRow("infinite") << double(INFINITY) << 250;
    }

    void queryRadius()
    {
        QFETCH(double, radius);
        QTEST(ADSB::queryRadius(radius), "sent");
    }

    void urls()
    {
        const auto sources = ADSB::sources(Services::defaults());
        QCOMPARE(sources.size(), 2);
        QCOMPARE(sources[0].name, u"adsb.lol"_s);
        QCOMPARE(sources[0].url(45.123456, -122.9, 25),
            u"https://api.adsb.lol/v2/point/45.12346/-122.90000/25"_s);
        QCOMPARE(sources[1].name, u"adsb.fi"_s);
        QCOMPARE(sources[1].url(45.123456, -122.9, 250),
            u"https://opendata.adsb.fi/api/v2/lat/45.12346/lon/-122.90000/dist/250"_s);
    }

    void usableAircraft()
    {
        AircraftDecoder decoder;
        const auto response = decoder.decodeResponse(R"({"ac":[
            {"hex":"far","lat":1,"lon":1,"dst":3.2},
            {"hex":"none1","lat":1,"lon":1},
            {"hex":"near","lat":1,"lon":1,"dst":1.0},
            {"hex":"far2","lat":1,"lon":1,"dst":3.2},
            {"hex":"nolat","lon":1,"dst":0.1},
            {"hex":"nolon","lat":1,"dst":0.1},
            {"hex":"stale","lat":1,"lon":1,"dst":0.1,"seen_pos":60},
            {"hex":"fresh","lat":1,"lon":1,"dst":5,"seen_pos":59.9},
            {"hex":"none2","lat":1,"lon":1}]})"_ba);
        QVERIFY(response);
        QStringList order;
        for (const Aircraft &a : ADSB::usableAircraft(*response->ac))
            order << a.hex;
        QCOMPARE(order,
            QStringList({ u"near"_s, u"far"_s, u"far2"_s, u"fresh"_s, u"none1"_s, u"none2"_s }));
    }

    void usableAircraftOrders_data()
    {
        QTest::addColumn<QByteArray>("records");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("already nearest first")
            << R"({"hex":"a","lat":1,"lon":1,"dst":1},{"hex":"b","lat":1,"lon":1,"dst":2},
                  {"hex":"c","lat":1,"lon":1})"_ba
            << QStringList { u"a"_s, u"b"_s, u"c"_s };
        QTest::newRow("reversed")
            << R"({"hex":"a","lat":1,"lon":1},{"hex":"b","lat":1,"lon":1,"dst":2},
                  {"hex":"c","lat":1,"lon":1,"dst":1})"_ba
            << QStringList { u"c"_s, u"b"_s, u"a"_s };
        QTest::newRow("ordered, one dropped")
            << R"({"hex":"a","lat":1,"lon":1,"dst":1},{"hex":"b","lon":1,"dst":2},
                  {"hex":"c","lat":1,"lon":1,"dst":3})"_ba
            << QStringList { u"a"_s, u"c"_s };
        QTest::newRow("equal distances keep feed order")
            << R"({"hex":"a","lat":1,"lon":1,"dst":2},{"hex":"b","lat":1,"lon":1,"dst":1},
                  {"hex":"c","lat":1,"lon":1,"dst":2},{"hex":"d","lat":1,"lon":1,"dst":1})"_ba
            << QStringList { u"b"_s, u"d"_s, u"a"_s, u"c"_s };
        QTest::newRow("none usable")
            << R"({"hex":"a","lat":1},{"hex":"b","lon":1})"_ba << QStringList {};
    }

    // The same order whether the list is handed over or shared, and a shared one is left as
    // it was.
    void usableAircraftOrders()
    {
        QFETCH(QByteArray, records);
        QFETCH(QStringList, expected);
        AircraftDecoder decoder;
        const auto response = decoder.decodeResponse("{\"ac\":[" + records + "]}");
        QVERIFY(response);
        const QList<Aircraft> shared = *response->ac;
        const auto names = [](const QList<Aircraft> &list) {
            QStringList hexes;
            for (const Aircraft &a : list)
                hexes << a.hex;
            return hexes;
        };
        const QStringList before = names(shared);
        QCOMPARE(names(ADSB::usableAircraft(shared)), expected);
        QCOMPARE(names(shared), before);
        QList<Aircraft> own = *response->ac;
        own.detach();
        QCOMPARE(names(ADSB::usableAircraft(std::move(own))), expected);
    }

    void failOver_data()
    {
        QTest::addColumn<QString>("primary");
        QTest::addColumn<QString>("secondary");
        QTest::addColumn<QString>("source"); // empty: an error
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("secondaryAsked");

        QTest::newRow("aircraft, not asked")
            << u"aircraft"_s << u"aircraft"_s << u"Primary"_s << 2 << QString() << 0;
        QTest::newRow("empty, aircraft")
            << u"empty"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("empty, empty")
            << u"empty"_s << u"empty"_s << u"Primary"_s << 0 << QString() << 1;
        QTest::newRow("empty, fails")
            << u"empty"_s << u"503"_s << u"Primary"_s << 0 << QString() << 1;
        QTest::newRow("fails, aircraft")
            << u"503"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("fails, empty")
            << u"garbage"_s << u"empty"_s << u"Secondary"_s << 0 << QString() << 1;
        QTest::newRow("fails, fails (status)")
            << u"garbage"_s << u"503"_s << QString() << 0 << u"Secondary returned an error"_s << 1;
        QTest::newRow("other 2xx is an error")
            << u"503"_s << u"204"_s << QString() << 0 << u"Secondary returned an error"_s << 1;
        QTest::newRow("fails, bad record") << u"503"_s << u"bad record"_s << QString() << 0
                                           << u"Secondary: aircraft 2: \"hex\" is missing"_s << 1;
        QTest::newRow("fails, wrong type")
            << u"503"_s << u"wrong type"_s << QString() << 0
            << u"Secondary: aircraft 1: \"gs\" is not a number"_s << 1;
        QTest::newRow("fails, garbage") << u"503"_s << u"garbage"_s << QString() << 0
                                        << u"Secondary: the answer is not valid JSON"_s << 1;
        QTest::newRow("truncated, closed")
            << u"truncated"_s << u"closed"_s << QString() << 0 << u"Secondary: "_s << 1;
        QTest::newRow("closed, aircraft")
            << u"closed"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("reset, aircraft")
            << u"reset"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("fails, reset")
            << u"503"_s << u"reset"_s << QString() << 0 << u"Secondary: Connection closed"_s << 1;
        QTest::newRow("10 MB of garbage, aircraft")
            << u"10 MB of garbage"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("fails, 10 MB of garbage")
            << u"503"_s << u"10 MB of garbage"_s << QString() << 0
            << u"Secondary: the answer is not valid UTF-8"_s << 1;
        QTest::newRow("fails, nested 10,000 deep")
            << u"503"_s << u"nested 10,000 deep"_s << QString() << 0 << u"Secondary: "_s << 1;
    }

    void failOver()
    {
        QFETCH(QString, primary);
        QFETCH(QString, secondary);
        QFETCH(QString, source);
        QFETCH(int, count);
        QFETCH(QString, message);
        QFETCH(int, secondaryAsked);

        TestServer server;
        server.setReply(primaryPath, behaviour(primary));
        server.setReply(secondaryPath, behaviour(secondary));

        QNetworkAccessManager network;
        const Services services = servicesFor(server.baseUrl(), server.baseUrl());
        const Outcome outcome = run(ADSB::fetch(&network, services, home, 25, options(), this));

        // The network layer itself may retry once on a connection closed without an answer.
        QVERIFY(server.requestCount(u"/v2/point"_s) >= 1);
        QCOMPARE(server.requestCount(u"/api/v2"_s) > 0, secondaryAsked > 0);
        if (source.isEmpty()) {
            QVERIFY(!outcome.result);
            QVERIFY(outcome.error);
            QVERIFY2(outcome.error->startsWith(message), qPrintable(*outcome.error));
            QVERIFY(!outcome.error->contains(u'\n'));
        } else {
            QVERIFY(outcome.result);
            QCOMPARE(outcome.result->source, source);
            QCOMPARE(outcome.result->aircraft.size(), count);
        }
    }

    void refusedConnections()
    {
        QNetworkAccessManager network;
        const QUrl closed(u"http://127.0.0.1:%1"_s.arg(TestServer::closedPort()));
        const Outcome outcome =
            run(ADSB::fetch(&network, servicesFor(closed, closed), home, 25, options(), this));
        QVERIFY(outcome.error);
        QVERIFY2(outcome.error->startsWith(u"Secondary: "_s), qPrintable(*outcome.error));
        QVERIFY(outcome.error->size() > u"Secondary: "_s.size());
    }

    void unparsableAddressesAreSkipped()
    {
        QNetworkAccessManager network;
        Services services = Services::defaults();
        services.feedPrimary = QUrl();
        services.feedSecondary = QUrl();
        const Outcome outcome = run(ADSB::fetch(&network, services, home, 25, options(), this));
        QVERIFY(outcome.error);
        QCOMPARE(outcome.error, u"No flight data source reachable"_s);
    }

    void aircraftKeyAndRequestShape()
    {
        TestServer server;
        server.setReply(primaryPath, behaviour(u"empty"_s));
        server.setReply(secondaryPath, reply(records({ "b1" }, "aircraft")));
        QNetworkAccessManager network;
        const Outcome outcome = run(ADSB::fetch(&network,
            servicesFor(server.baseUrl(), server.baseUrl()), home, 24.6, options(), this));
        QVERIFY(outcome.result);
        QCOMPARE(outcome.result->aircraft.first().hex, u"b1"_s);

        const auto requests = server.requests();
        QCOMPARE(requests.size(), 2);
        for (const auto &request : requests) {
            QCOMPARE(request.method, "GET"_ba);
            QCOMPARE(request.headers.value("user-agent"),
                "Skyvelle/" SKYVELLE_VERSION " (+https://example.org/skyvelle)"_ba);
            QVERIFY(!request.headers.contains("authorization"));
        }
        QCOMPARE(requests[0].path, primaryPath);
        QCOMPARE(requests[1].path, secondaryPath);
    }

    void hangingPrimaryTimesOut()
    {
        TestServer server;
        TestServer::Reply hang;
        hang.hang = true;
        server.setReply(primaryPath, hang);
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        QNetworkAccessManager network;
        QElapsedTimer timer;
        timer.start();
        const Outcome outcome =
            run(ADSB::fetch(&network, servicesFor(server.baseUrl(), server.baseUrl()), home, 25,
                options(shortTimeoutMs), this));
        QVERIFY(outcome.result);
        QCOMPARE(outcome.result->source, u"Secondary"_s);
        // Qt runs its timers coarsely, which may fire up to 5% early.
        QVERIFY(timer.elapsed() >= shortTimeoutMs * 95 / 100 - 50);
    }

    void tricklingSourceMeetsItsDeadline()
    {
        // A byte every 50 ms never looks idle, so only a deadline on the whole answer ends it.
        TestServer server;
        TestServer::Reply slow = behaviour(u"aircraft"_s);
        slow.trickleMs = 50;
        server.setReply(primaryPath, slow);
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        QNetworkAccessManager network;
        QElapsedTimer timer;
        timer.start();
        const Services services = servicesFor(server.baseUrl(), server.baseUrl());
        const Outcome outcome =
            run(ADSB::fetch(&network, services, home, 25, options(shortTimeoutMs), this));
        QVERIFY(outcome.result);
        QCOMPARE(outcome.result->source, u"Secondary"_s);
        QVERIFY(timer.elapsed() >= shortTimeoutMs * 95 / 100 - 50);

        server.setReply(secondaryPath, slow);
        const Outcome both =
            run(ADSB::fetch(&network, services, home, 25, options(shortTimeoutMs), this));
        QVERIFY(both.error);
        QCOMPARE(both.error, u"Secondary: The request timed out."_s);
    }

    // The real limits, not shortened ones: 50 MB of valid JSON passes the 32 MiB cap of no
    // source, and a byte a second still ends at the 8 s deadline.
    void realCapAndDeadline()
    {
        QByteArray huge = records({ "a1" });
        huge.insert(1, QByteArray(50 * 1000 * 1000, ' '));
        TestServer server;
        server.setReply(primaryPath, reply(huge));
        server.setReply(secondaryPath, reply(huge));
        QNetworkAccessManager network;
        const Services services = servicesFor(server.baseUrl(), server.baseUrl());
        RequestOptions real = options(RequestOptions::defaultTimeoutMs);
        QCOMPARE(real.maxBytes, 32 * 1024 * 1024);
        const Outcome tooLarge = run(ADSB::fetch(&network, services, home, 25, real, this));
        QCOMPARE(tooLarge.error, u"Secondary: the answer is too large"_s);

        TestServer::Reply byteASecond = behaviour(u"aircraft"_s);
        byteASecond.trickleMs = 1000;
        server.setReply(primaryPath, byteASecond);
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        QElapsedTimer timer;
        timer.start();
        const Outcome outcome = run(ADSB::fetch(&network, services, home, 25, real, this));
        QVERIFY(outcome.result);
        QCOMPARE(outcome.result->source, u"Secondary"_s);
        QVERIFY(timer.elapsed() >= RequestOptions::defaultTimeoutMs * 95 / 100 - 50);
        QVERIFY(timer.elapsed() < RequestOptions::defaultTimeoutMs + 3000);
    }

    void answerCap_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("source"); // empty: too large everywhere

        // A small cap stands in for the real 32 MiB, which would take seconds to send.
        const qint64 cap = 20'000;
        QTest::newRow("declared length, over") << false << cap + 1 << QString();
        QTest::newRow("no length, over") << true << cap * 4 << QString();
        QTest::newRow("declared length, at the cap") << false << cap << u"Primary"_s;
        QTest::newRow("no length, at the cap") << true << cap << u"Primary"_s;
    }

    void answerCap()
    {
        QFETCH(bool, chunked);
        QFETCH(qint64, size);
        QFETCH(QString, source);
        // Valid JSON, padded with white space to the size.
        QByteArray body = records({ "a1" });
        body.insert(1, QByteArray(size - body.size(), ' '));
        TestServer::Reply answer = reply(body);
        answer.chunked = chunked;
        TestServer server;
        server.setReply(primaryPath, answer);
        server.setReply(secondaryPath, answer);
        QNetworkAccessManager network;
        const Services services = servicesFor(server.baseUrl(), server.baseUrl());
        RequestOptions capped = options();
        capped.maxBytes = 20'000;
        const Outcome outcome = run(ADSB::fetch(&network, services, home, 25, capped, this));
        if (!source.isEmpty()) {
            QVERIFY(outcome.result);
            QCOMPARE(outcome.result->source, source);
            return;
        }
        QCOMPARE(outcome.error, u"Secondary: the answer is too large"_s);

        // Too large is that source's failure, not the whole fetch's.
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        const Outcome next = run(ADSB::fetch(&network, services, home, 25, capped, this));
        QVERIFY(next.result);
        QCOMPARE(next.result->source, u"Secondary"_s);
    }

    void timeoutMessage()
    {
        TestServer server;
        TestServer::Reply hang;
        hang.hang = true;
        server.setReply(secondaryPath, hang);
        QNetworkAccessManager network;
        const QUrl closed(u"http://127.0.0.1:%1"_s.arg(TestServer::closedPort()));
        const Outcome outcome = run(ADSB::fetch(&network, servicesFor(closed, server.baseUrl()),
            home, 25, options(shortTimeoutMs), this));
        QVERIFY(outcome.error);
        QCOMPARE(outcome.error, u"Secondary: The request timed out."_s);
    }

    void cancelStopsTheCall()
    {
        TestServer server;
        TestServer::Reply hang;
        hang.hang = true;
        server.setReply(primaryPath, hang);
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        QNetworkAccessManager network;
        FeedFetch *fetch = ADSB::fetch(&network, servicesFor(server.baseUrl(), server.baseUrl()),
            home, 25, options(shortTimeoutMs), this);
        QSignalSpy finished(fetch, &Reply::finished);
        QTRY_COMPARE(server.requestCount(u"/v2/point"_s), 1);
        fetch->cancel();
        QVERIFY(fetch->isCancelled());
        // Past the time-out that would otherwise have moved on to the secondary.
        QTest::qWait(shortTimeoutMs + 100);
        QCOMPARE(finished.size(), 0);
        QVERIFY(!fetch->isFinished());
        QCOMPARE(server.requestCount(u"/api/v2"_s), 0);
        delete fetch;
    }
};

QTEST_GUILESS_MAIN(TestAdsb)
#include "tst_adsb.moc"
