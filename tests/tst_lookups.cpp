// SPDX-License-Identifier: GPL-3.0-or-later
#include "flightstore.h"
#include "imagereply.h"
#include "photoapi.h"
#include "preferences.h"
#include "routeapi.h"
#include "testserver.h"

#include <QBuffer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// JSON written with single quotes, so that the literals need no escaping.
QByteArray doc(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

// A route answer with the given airports (JSON text in single quotes).
QByteArray flightroute(const char *origin, const char *destination)
{
    return doc("{'response':{'flightroute':{'callsign':'UPS2914','origin':") + doc(origin)
        + doc(",'destination':") + doc(destination) + "}}}";
}

// A photo answer whose list holds the given entries.
QByteArray photoList(const char *entries)
{
    return doc("{'photos':[") + doc(entries) + "]}";
}

const QByteArray routeBody =
    flightroute("{'iata_code':'SDF','icao_code':'KSDF','municipality':'Louisville'}",
        "{'iata_code':'PDX','icao_code':'KPDX','municipality':'Portland'}");

const QByteArray photoBody = photoList("{'id':'1','thumbnail':{'src':'https://t.example/s.jpg'},"
                                       "'thumbnail_large':{'src':'https://t.example/large.jpg',"
                                       "'size':{'width':420,'height':280}},"
                                       "'link':'https://www.example/photo/1',"
                                       "'photographer':'Jane Doe'}");

TestServer::Reply reply(const QByteArray &body, int status = 200)
{
    TestServer::Reply r;
    r.status = status;
    r.body = body;
    return r;
}

Services servicesFor(const QUrl &base)
{
    QVariantMap overrides;
    overrides.insert(u"routes"_s, base.toString());
    overrides.insert(u"photos"_s, base.toString());
    overrides.insert(u"homepage"_s, u"https://example.org/skyvelle"_s);
    overrides.insert(u"contact"_s, u"planes@example.org"_s);
    return Services::withOverrides(overrides);
}

RequestOptions options(int timeoutMs = RequestOptions::defaultTimeoutMs)
{
    return RequestOptions { servicesFor(QUrl()).userAgentWithContact(), timeoutMs };
}

// Waits for the reply to finish; false when it did not in time.
bool wait(Reply *reply)
{
    return QTest::qWaitFor([&] { return reply->isFinished(); }, 5000);
}

Aircraft aircraft(const QString &hex, const std::optional<QString> &flight = std::nullopt)
{
    Aircraft a;
    a.hex = hex;
    a.flight = flight;
    return a;
}

} // namespace

class TestLookups : public QObject {
    Q_OBJECT

    QNetworkAccessManager m_network;

private Q_SLOTS:
    void decodeRoute_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("summary"); // empty: no route
        QTest::addColumn<QString>("cities"); // empty: no city summary

        const QString none;
        QTest::newRow("IATA preferred")
            << routeBody << u"SDF → PDX"_s << u"Louisville → Portland"_s;
        QTest::newRow("ICAO only")
            << flightroute("{'icao_code':'KSDF'}", "{'icao_code':'KPDX','iata_code':null}")
            << u"KSDF → KPDX"_s << none;
        QTest::newRow("empty IATA falls back")
            << flightroute("{'iata_code':'','icao_code':'KSDF'}", "{'iata_code':'PDX'}")
            << u"KSDF → PDX"_s << none;
        QTest::newRow("origin city only")
            << flightroute("{'iata_code':'SDF','municipality':'Louisville'}", "{'iata_code':'PDX'}")
            << u"SDF → PDX"_s << none;
        QTest::newRow("origin without code") << flightroute(
            "{'municipality':'Louisville'}", "{'iata_code':'PDX','icao_code':'KPDX'}")
                                             << none << none;
        QTest::newRow("no destination")
            << doc("{'response':{'flightroute':{'origin':{'iata_code':'SDF'}}}}") << none << none;
        QTest::newRow("no flightroute") << doc("{'response':{}}") << none << none;
        QTest::newRow("unknown callsign text")
            << doc("{'response':'unknown callsign'}") << none << none;
        QTest::newRow("no response") << doc("{'flightroute':{}}") << none << none;
        QTest::newRow("code is a number") << flightroute("{'iata_code':7,'icao_code':'KSDF'}",
            "{'iata_code':'PDX'}") << none << none;
        QTest::newRow("city is a number") << flightroute("{'iata_code':'SDF','municipality':1}",
            "{'iata_code':'PDX'}") << none << none;
        QTest::newRow("origin is a list")
            << flightroute("['SDF']", "{'iata_code':'PDX'}") << none << none;
        QTest::newRow("not JSON") << "<html>busy</html>"_ba << none << none;
        QTest::newRow("truncated") << routeBody.left(60) << none << none;
        QTest::newRow("top-level list") << "[]"_ba << none << none;
    }

    void decodeRoute()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, summary);
        QFETCH(QString, cities);
        const auto route = RouteAPI::decode(body);
        QCOMPARE(route.has_value(), !summary.isEmpty());
        if (!route)
            return;
        QCOMPARE(route->summary(), summary);
        QCOMPARE(route->citySummary().value_or(QString()), cities);
    }

    void decodePhoto_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("thumbnail"); // empty: no photo
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("photographer");

        const QString none;
        const QString large = u"https://t.example/l.jpg"_s;
        QTest::newRow("complete") << photoBody << u"https://t.example/large.jpg"_s
                                  << u"https://www.example/photo/1"_s << u"Jane Doe"_s;
        QTest::newRow("empty list") << photoList("") << none << none << none;
        QTest::newRow("no list") << doc("{}") << none << none << none;
        QTest::newRow("first lacks thumbnail, second complete")
            << photoList("{'thumbnail':{'src':'https://t.example/s.jpg'}},"
                         "{'thumbnail_large':{'src':'https://t.example/l.jpg'},'photographer':'B'}")
            << none << none << none;
        QTest::newRow("later entries are not read")
            << photoList("{'thumbnail_large':{'src':'https://t.example/l.jpg'}}, 5, {'link':7}")
            << large << none << none;
        QTest::newRow("no link, no photographer")
            << photoList("{'thumbnail_large':{'src':'https://t.example/l.jpg'}}") << large << none
            << none;
        QTest::newRow("link not a web page, blank photographer")
            << photoList("{'thumbnail_large':{'src':'https://t.example/l.jpg'},"
                         "'link':'mailto:jane@example.org','photographer':'  '}")
            << large << none << none;
        QTest::newRow("local thumbnail")
            << photoList("{'thumbnail_large':{'src':'file:///etc/passwd'}}") << none << none
            << none;
        QTest::newRow("thumbnail without src")
            << photoList("{'thumbnail_large':{'size':{}}}") << none << none << none;
        QTest::newRow("src is a number")
            << photoList("{'thumbnail_large':{'src':1}}") << none << none << none;
        QTest::newRow("photographer is a number")
            << photoList("{'thumbnail_large':{'src':'https://t.example/l.jpg'},'photographer':5}")
            << none << none << none;
        QTest::newRow("photos is an object") << doc("{'photos':{'0':{}}}") << none << none << none;
        QTest::newRow("not JSON") << "nope"_ba << none << none << none;
    }

    void decodePhoto()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, thumbnail);
        QFETCH(QString, page);
        QFETCH(QString, photographer);
        const auto photo = PhotoAPI::decode(body);
        QCOMPARE(photo.has_value(), !thumbnail.isEmpty());
        if (!photo)
            return;
        QCOMPARE(photo->thumbnailURL.toString(), thumbnail);
        QCOMPARE(photo->pageURL.value_or(QUrl()).toString(), page);
        QCOMPARE(photo->photographer.value_or(QString()), photographer);
    }

    void addresses_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("route"); // empty: no address
        QTest::addColumn<QString>("photo");

        QTest::newRow("plain") << u"https://api.example"_s << u"UPS2914"_s
                               << u"https://api.example/v0/callsign/UPS2914"_s
                               << u"https://api.example/pub/photos/hex/UPS2914"_s;
        QTest::newRow("odd characters")
            << u"http://127.0.0.1:8080/base"_s << u"A B/1?x#y%"_s
            << u"http://127.0.0.1:8080/base/v0/callsign/A%20B%2F1%3Fx%23y%25"_s
            << u"http://127.0.0.1:8080/base/pub/photos/hex/A%20B%2F1%3Fx%23y%25"_s;
        QTest::newRow("non-ASCII")
            << u"https://api.example"_s << u"ÄB1"_s << u"https://api.example/v0/callsign/%C3%84B1"_s
            << u"https://api.example/pub/photos/hex/%C3%84B1"_s;
        QTest::newRow("empty key")
            << u"https://api.example"_s << QString() << QString() << QString();
        QTest::newRow("dot-dot key")
            << u"https://api.example"_s << u".."_s << QString() << QString();
        QTest::newRow("not a web base")
            << u"ftp://api.example"_s << u"abc"_s << QString() << QString();
    }

    void addresses()
    {
        QFETCH(QString, base);
        QFETCH(QString, key);
        QFETCH(QString, route);
        QFETCH(QString, photo);
        QCOMPARE(QString::fromLatin1(RouteAPI::url(QUrl(base), key).toEncoded()), route);
        QCOMPARE(QString::fromLatin1(PhotoAPI::url(QUrl(base), key).toEncoded()), photo);
    }

    void routeRequest()
    {
        TestServer server;
        server.setReply(u"/v0/callsign/UPS2914"_s, reply(routeBody));
        RouteReply *lookup = RouteAPI::fetch(
            &m_network, servicesFor(server.baseUrl()), u"UPS2914"_s, options(), this);
        QSignalSpy finished(lookup, &Reply::finished);
        QCOMPARE(finished.size(), 0); // never from inside fetch()
        QVERIFY(wait(lookup));
        QCOMPARE(lookup->errorText(), QString());
        QCOMPARE(
            lookup->value(), (FlightRoute { u"SDF"_s, u"Louisville"_s, u"PDX"_s, u"Portland"_s }));
        QTest::qWait(20);
        QCOMPARE(finished.size(), 1);

        QCOMPARE(server.requests().size(), 1);
        const TestServer::Request request = server.requests().first();
        QCOMPARE(request.method, "GET"_ba);
        // The photo service refuses clients that leave no way to reach them.
        QVERIFY2(request.headers.value("user-agent").startsWith("Skyvelle/"),
            request.headers.value("user-agent"));
        QVERIFY2(request.headers.value("user-agent").contains("planes@example.org"),
            request.headers.value("user-agent"));
        delete lookup;
    }

    void photoRequest()
    {
        TestServer server;
        server.setReply(u"/pub/photos/hex/a1b2c3"_s, reply(photoBody));
        PhotoReply *lookup = PhotoAPI::fetch(
            &m_network, servicesFor(server.baseUrl()), u"a1b2c3"_s, options(), this);
        QVERIFY(wait(lookup));
        QVERIFY(lookup->value());
        QCOMPARE(lookup->value()->thumbnailURL, QUrl(u"https://t.example/large.jpg"_s));
        QCOMPARE(lookup->value()->photographer, u"Jane Doe"_s);
        QVERIFY(
            server.requests().first().headers.value("user-agent").contains("planes@example.org"));
        delete lookup;
    }

    void oddKeysTravelEncoded()
    {
        TestServer server;
        const Services services = servicesFor(server.baseUrl());
        QVERIFY(wait(RouteAPI::fetch(&m_network, services, u"AB C/1?"_s, options(), this)));
        QVERIFY(wait(PhotoAPI::fetch(&m_network, services, u"~a#b"_s, options(), this)));
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().at(0).path, u"/v0/callsign/AB%20C%2F1%3F"_s);
        QCOMPARE(server.requests().at(1).path, u"/pub/photos/hex/~a%23b"_s);
    }

    void failuresAreAbsent_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("error");
        const QString unreadable = u"The service's answer could not be read."_s;
        QTest::newRow("404 unknown callsign")
            << u"404"_s << u"The service answered HTTP 404 (Not Found)."_s;
        QTest::newRow("500") << u"500"_s
                             << u"The service answered HTTP 500 (Internal Server Error)."_s;
        QTest::newRow("other 2xx") << u"204"_s << unreadable;
        QTest::newRow("malformed body") << u"malformed"_s << unreadable;
        QTest::newRow("wrong types") << u"wrong types"_s << unreadable;
        QTest::newRow("empty photo list") << u"empty"_s << unreadable;
        QTest::newRow("too large") << u"large"_s << u"The service's answer is too large."_s;
        QTest::newRow("closed without answer")
            << u"closed"_s << u"The service closed the connection without answering."_s;
        QTest::newRow("time-out") << u"hang"_s << u"The service did not answer in time."_s;
        QTest::newRow("nothing listening")
            << u"refused"_s << u"The service refused the connection."_s;
        QTest::newRow("no address") << u"no address"_s << u"There is no address to ask."_s;
    }

    void failuresAreAbsent()
    {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        TestServer server;
        TestServer::Reply r;
        if (kind == "404"_L1)
            r = reply(doc("{'response':'unknown callsign'}"), 404);
        else if (kind == "500"_L1)
            r = reply(routeBody + photoBody, 500);
        else if (kind == "204"_L1)
            r = reply(QByteArray(), 204);
        else if (kind == "malformed"_L1)
            r = reply(routeBody.left(40));
        else if (kind == "wrong types"_L1)
            r = reply(doc("{'response':{'flightroute':{'origin':{'iata_code':1},'destination':{'"
                          "iata_code':2}}}, 'photos':[{'thumbnail_large':{'src':3}}]}"));
        else if (kind == "empty"_L1)
            r = reply(doc("{'response':{},'photos':[]}"));
        else if (kind == "large"_L1)
            r = reply(routeBody + QByteArray(2000, ' ') + photoBody);
        else if (kind == "closed"_L1)
            r.closeWithoutAnswer = true;
        else if (kind == "hang"_L1)
            r.hang = true;
        server.setDefaultReply(r);
        QUrl base = server.baseUrl();
        if (kind == "refused"_L1)
            base.setPort(TestServer::closedPort());
        const Services services = servicesFor(base);
        const bool noAddress = kind == "no address"_L1;

        QElapsedTimer clock;
        clock.start();
        // A short time-out stands in for the real eight seconds; the cap for the real 32 MiB.
        RequestOptions shortAndSmall = options(300);
        shortAndSmall.maxBytes = 1000;
        RouteReply *route = RouteAPI::fetch(
            &m_network, services, noAddress ? QString() : u"UPS2914"_s, shortAndSmall, this);
        PhotoReply *photo = PhotoAPI::fetch(
            &m_network, services, noAddress ? u".."_s : u"a1b2c3"_s, shortAndSmall, this);
        QSignalSpy routeDone(route, &Reply::finished);
        QSignalSpy photoDone(photo, &Reply::finished);
        QTRY_COMPARE(routeDone.size(), 1);
        QTRY_COMPARE(photoDone.size(), 1);
        QVERIFY(!route->value());
        QVERIFY(!photo->value());
        QCOMPARE(route->errorText(), error);
        QCOMPARE(photo->errorText(), error);
        QVERIFY(clock.elapsed() < 4000);
        if (kind != "refused"_L1 && !noAddress)
            QVERIFY(server.requestCount() >= 2);
        delete route;
        delete photo;
    }

    void images_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<qint64>("cap");
        QTest::addColumn<QString>("error"); // empty: a 40 × 30 picture

        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        const QByteArray png = buffer.data();
        QTest::newRow("picture") << png << RequestOptions::defaultMaxBytes << QString();
        QTest::newRow("picture at the cap") << png << qint64(png.size()) << QString();
        QTest::newRow("over the cap")
            << png << qint64(png.size() - 1) << u"The service's answer is too large."_s;
        QTest::newRow("not a picture") << "<html>moved</html>"_ba << RequestOptions::defaultMaxBytes
                                       << u"The service's answer could not be read."_s;
    }

    void images()
    {
        QFETCH(QByteArray, body);
        QFETCH(qint64, cap);
        QFETCH(QString, error);
        TestServer server;
        TestServer::Reply r = reply(body);
        r.contentType = "image/png";
        server.setReply(u"/img/a.png"_s, r);
        RequestOptions capped = options();
        capped.maxBytes = cap;
        auto *image = new ImageReply(&m_network, server.url(u"/img/a.png"_s), capped, this);
        QVERIFY(wait(image));
        QCOMPARE(image->errorText(), error);
        QCOMPARE(image->image().size(), error.isEmpty() ? QSize(40, 30) : QSize(0, 0));
        QVERIFY(
            server.requests().first().headers.value("user-agent").contains("planes@example.org"));
        delete image;
    }

    void destroyedLookupStaysSilent()
    {
        TestServer server;
        TestServer::Reply r;
        r.hang = true;
        server.setDefaultReply(r);
        RouteReply *lookup = RouteAPI::fetch(
            &m_network, servicesFor(server.baseUrl()), u"UPS2914"_s, options(), this);
        bool reported = false;
        connect(lookup, &Reply::finished, this, [&] { reported = true; });
        QTRY_COMPARE(server.requestCount(), 1);
        delete lookup;
        QTest::qWait(50);
        QVERIFY(!reported);
    }

    // The store asks once per key for the whole run.

    void storeRouteOnce_data()
    {
        QTest::addColumn<std::optional<QString>>("flight");
        QTest::addColumn<QString>("asked"); // empty: never asked

        QTest::newRow("airline, padded") << std::optional(u"UPS2914 "_s) << u"UPS2914"_s;
        QTest::newRow("tabs and lower case") << std::optional(u"\tups2914\t"_s) << u"ups2914"_s;
        QTest::newRow("four letters") << std::optional(u"ABCD"_s) << u"ABCD"_s;
        QTest::newRow("registration") << std::optional(u"N757LY  "_s) << QString();
        QTest::newRow("too short") << std::optional(u" UPS "_s) << QString();
        QTest::newRow("blank") << std::optional(u"   "_s) << QString();
        QTest::newRow("no callsign") << std::optional<QString>() << QString();
    }

    void storeRouteOnce()
    {
        QFETCH(std::optional<QString>, flight);
        QFETCH(QString, asked);
        QTemporaryDir dir;
        Preferences preferences(dir.filePath(u"Skyvelle.conf"_s));
        TestServer server;
        TestServer::Reply r = reply(routeBody);
        r.delayMs = 200;
        server.setDefaultReply(r);
        FlightStore store(
            &preferences, &m_network, servicesFor(server.baseUrl()), dir.filePath(u"data"_s));
        QSignalSpy changed(&store, &FlightStore::routesChanged);

        const Aircraft plane = aircraft(u"a1b2c3"_s, flight);
        store.loadRoute(plane);
        if (asked.isEmpty()) {
            QVERIFY(store.routeLookups().isEmpty());
            QTest::qWait(300);
            QCOMPARE(server.requestCount(), 0);
            return;
        }
        QCOMPARE(store.routeLookups(), QSet<QString> { asked });
        store.loadRoute(plane); // while the first is running
        QTRY_COMPARE(changed.size(), 1);
        QCOMPARE(server.requestCount(), 1);
        QCOMPARE(server.requests().first().path, u"/v0/callsign/"_s + asked);
        QVERIFY(store.routeLookups().isEmpty());
        QCOMPARE(store.routes().value(asked).summary(), u"SDF → PDX"_s);

        store.loadRoute(plane); // found: not asked again
        QTest::qWait(300);
        QCOMPARE(server.requestCount(), 1);
    }

    void storeMissesAreNotRetried()
    {
        QTemporaryDir dir;
        Preferences preferences(dir.filePath(u"Skyvelle.conf"_s));
        TestServer server; // every path answers 404
        FlightStore store(
            &preferences, &m_network, servicesFor(server.baseUrl()), dir.filePath(u"data"_s));
        QSignalSpy routes(&store, &FlightStore::routesChanged);
        QSignalSpy photos(&store, &FlightStore::photosChanged);
        const Aircraft plane = aircraft(u"a1b2c3"_s, u"UPS2914"_s);

        store.loadRoute(plane);
        store.loadPhoto(plane);
        QTRY_VERIFY(store.routeMisses().contains(u"UPS2914"_s));
        QTRY_VERIFY(store.photoMisses().contains(u"a1b2c3"_s));
        QCOMPARE(server.requestCount(), 2);

        // Even once the service would answer, a miss stays a miss for the run.
        server.setDefaultReply(reply(routeBody + photoBody));
        server.setReply(u"/v0/callsign/UPS2914"_s, reply(routeBody));
        server.setReply(u"/pub/photos/hex/a1b2c3"_s, reply(photoBody));
        store.loadRoute(plane);
        store.loadPhoto(plane);
        QTest::qWait(300);
        QCOMPARE(server.requestCount(), 2);
        QCOMPARE(routes.size(), 0);
        QCOMPARE(photos.size(), 0);
        QVERIFY(store.routes().isEmpty());
        QVERIFY(store.photos().isEmpty());
        QVERIFY(store.routeLookups().isEmpty());
        QVERIFY(store.photoLookups().isEmpty());
    }

    void storePhotoOnce()
    {
        QTemporaryDir dir;
        Preferences preferences(dir.filePath(u"Skyvelle.conf"_s));
        TestServer server;
        TestServer::Reply r = reply(photoBody);
        r.delayMs = 200;
        server.setReply(u"/pub/photos/hex/a1b2c3"_s, r);
        FlightStore store(
            &preferences, &m_network, servicesFor(server.baseUrl()), dir.filePath(u"data"_s));
        QSignalSpy changed(&store, &FlightStore::photosChanged);
        const Aircraft plane = aircraft(u"a1b2c3"_s);

        store.loadPhoto(plane);
        QCOMPARE(store.photoLookups(), QSet<QString> { u"a1b2c3"_s });
        store.loadPhoto(plane);
        QTRY_COMPARE(changed.size(), 1);
        store.loadPhoto(plane);
        QTest::qWait(300);
        QCOMPARE(server.requestCount(), 1);
        QCOMPARE(store.photos().value(u"a1b2c3"_s).photographer, u"Jane Doe"_s);
        // The key is the hex as the feed wrote it: another spelling is another key.
        QVERIFY(!store.photos().contains(u"A1B2C3"_s));
    }
};

QTEST_GUILESS_MAIN(TestLookups)
#include "tst_lookups.moc"
