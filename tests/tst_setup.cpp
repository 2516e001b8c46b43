// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearance.h"
#include "flightstore.h"
#include "geocodereply.h"
#include "locationonce.h"
#include "preferences.h"
#include "systemcolors.h"
#include "testserver.h"
#include "views/setupview.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNmeaPositionInfoSource>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(TestServer::Reply)

namespace {

const QByteArray portlandAnswer = R"([{"place_id":1,"lat":"45.5202471","lon":"-122.674194",
    "display_name":"Portland, Multnomah County, Oregon, United States",
    "address":{"city":"Portland","county":"Multnomah County","state":"Oregon",
               "country":"United States","country_code":"us","postcode":"97204"}}])";

const QByteArray parisAnswer = R"([{"lat":"48.8588897","lon":"2.3200410",
    "display_name":"Paris, Île-de-France, France",
    "address":{"city":"Paris","state":"Île-de-France","country":"France","country_code":"fr"}}])";

// A fix off Vancouver, Washington: 45.6387 N, 122.6615 W, as a receiver writes it.
const QByteArray recordedFix =
    "$GPGGA,123519.00,4538.3220,N,12239.6900,W,1,08,0.9,30.0,M,-19.6,M,,*6F\r\n"
    "$GPRMC,123519.00,A,4538.3220,N,12239.6900,W,000.0,000.0,010126,,,A*48\r\n"
    "$GPGGA,123520.00,4538.3220,N,12239.6900,W,1,08,0.9,30.0,M,-19.6,M,,*65\r\n"
    "$GPRMC,123520.00,A,4538.3220,N,12239.6900,W,000.0,000.0,010126,,,A*42\r\n";

TestServer::Reply json(const QByteArray &body)
{
    return TestServer::Reply { .body = body };
}

// A position source replaying NMEA sentences; with no sentences it never answers.
LocationOnce::SourceFactory nmeaSource(const QByteArray &sentences)
{
    return [sentences](QObject *parent) -> QGeoPositionInfoSource * {
        auto *source = new QNmeaPositionInfoSource(QNmeaPositionInfoSource::SimulationMode, parent);
        auto *buffer = new QBuffer(source);
        buffer->setData(sentences);
        buffer->open(QIODevice::ReadOnly);
        source->setDevice(buffer);
        return source;
    };
}

template<typename T>
T *findByText(QWidget *root, const QString &text)
{
    const QList<T *> widgets = root->findChildren<T *>();
    for (T *widget : widgets) {
        if (widget->text() == text)
            return widget;
    }
    return nullptr;
}

QLineEdit *findField(QWidget *root, const QString &placeholder)
{
    const QList<QLineEdit *> fields = root->findChildren<QLineEdit *>();
    for (QLineEdit *field : fields) {
        if (field->placeholderText() == placeholder)
            return field;
    }
    return nullptr;
}

// The text of the visible "found" line, or empty when it is hidden.
QString resolvedLine(QWidget *root)
{
    const QList<QLabel *> labels = root->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->text().contains(u"  ("_s) && label->isVisibleTo(root))
            return label->text();
    }
    return {};
}

QLabel *statusLabel(SetupView &view)
{
    const QList<QLabel *> labels = view.findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (!view.statusMessage().isEmpty() && label->text() == view.statusMessage())
            return label;
    }
    return nullptr;
}

} // namespace

class TestSetup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<FlightStore> m_store;
    QNetworkAccessManager m_network;

    Services services() const
    {
        QVariantMap overrides;
        overrides.insert(u"geocoder"_s, m_server->baseUrl().toString());
        overrides.insert(u"feedPrimary"_s, m_server->baseUrl().toString());
        overrides.insert(u"feedSecondary"_s, m_server->baseUrl().toString());
        return Services::withOverrides(overrides);
    }

    RequestOptions geocoderOptions(int timeoutMs = Geocoder::defaultTimeoutMs) const
    {
        return RequestOptions { services().userAgentWithContact(), timeoutMs };
    }

    void makeStore()
    {
        m_store = std::make_unique<FlightStore>(
            m_preferences.get(), &m_network, services(), m_dir->filePath(u"data"_s));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<TestServer>();
        m_server->setPrefixReply(u"/v2/point/"_s, json(R"({"ac":[]})"));
        m_preferences = std::make_unique<Preferences>(m_dir->filePath(u"Skyvelle.conf"_s));
    }

    void cleanup()
    {
        m_store.reset();
        m_preferences.reset();
        m_server.reset();
        m_dir.reset();
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("label");
        QTest::addColumn<double>("latitude");

        const int match = int(Geocoder::Answer::Outcome::Match);
        const int none = int(Geocoder::Answer::Outcome::NoMatch);
        const int unreadable = int(Geocoder::Answer::Outcome::Unreadable);
        QTest::newRow("city and state")
            << portlandAnswer << match << u"Portland, Oregon"_s << 45.5202471;
        QTest::newRow("town, region") << QByteArray(
            R"([{"lat":"1.5","lon":"2","address":{"town":"Ely","region":"East","county":"C"}}])")
                                      << match << u"Ely, East"_s << 1.5;
        QTest::newRow("village, county")
            << QByteArray(R"([{"lat":1.5,"lon":2,"address":{"village":"Aa","county":"Drenthe"}}])")
            << match << u"Aa, Drenthe"_s << 1.5;
        QTest::newRow("hamlet before nothing")
            << QByteArray(R"([{"lat":"-3","lon":"4","address":{"hamlet":"Nook","country":"X"}}])")
            << match << u"Nook"_s << -3.0;
        QTest::newRow("no locality, no area") << QByteArray(
            R"([{"lat":"10","lon":"20","display_name":"Somewhere","address":{"country":"Y"}}])")
                                              << match << u"Home"_s << 10.0;
        QTest::newRow("empty list") << QByteArray("[]") << none << QString() << 0.0;
        QTest::newRow("no coordinate")
            << QByteArray(R"([{"address":{"city":"Z"}}])") << none << QString() << 0.0;
        QTest::newRow("coordinate with comma")
            << QByteArray(R"([{"lat":"45,5","lon":"1"}])") << none << QString() << 0.0;
        QTest::newRow("latitude out of range")
            << QByteArray(R"([{"lat":"91","lon":"1"}])") << none << QString() << 0.0;
        QTest::newRow("html") << QByteArray("<html>busy</html>") << unreadable << QString() << 0.0;
        QTest::newRow("error object")
            << QByteArray(R"({"error":"Unable to geocode"})") << unreadable << QString() << 0.0;
        QTest::newRow("cut short") << portlandAnswer.left(40) << unreadable << QString() << 0.0;
    }

    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, outcome);
        const Geocoder::Answer answer = Geocoder::decode(bytes);
        QCOMPARE(int(answer.outcome), outcome);
        if (answer.outcome == Geocoder::Answer::Outcome::Match) {
            QTEST(answer.place.homeLabel(), "label");
            QTEST(answer.place.latitude, "latitude");
        }
    }

    void decodeKeepsAddressParts()
    {
        const Geocoder::Place place = Geocoder::decode(portlandAnswer).place;
        QCOMPARE(place.longitude, -122.674194);
        QCOMPARE(place.displayName, u"Portland, Multnomah County, Oregon, United States"_s);
        QCOMPARE(place.locality, u"Portland"_s);
        QCOMPARE(place.administrativeArea, u"Oregon"_s);
        QCOMPARE(place.country, u"United States"_s);
        QCOMPARE(place.countryCode, u"us"_s);
        QCOMPARE(place.postcode, u"97204"_s);
    }

    void lookUp_data()
    {
        QTest::addColumn<TestServer::Reply>("reply");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("outcome"); // "found", "none" or the failure message
        QTest::newRow("match") << json(portlandAnswer) << false << u"found"_s;
        QTest::newRow("no match") << json("[]") << false << u"none"_s;
        QTest::newRow("HTTP error")
            << TestServer::Reply { .status = 503, .body = "down" } << false
            << u"Address lookup failed: The service answered HTTP 503 (Service Unavailable)."_s;
        QTest::newRow("garbage")
            << json("{\"lat\":") << false
            << u"Address lookup failed: The service's answer could not be read."_s;
        QTest::newRow("time-out") << TestServer::Reply {
            .hang = true
        } << false << u"Address lookup failed: The service did not answer in time."_s;
        QTest::newRow("closed without answer")
            << TestServer::Reply { .closeWithoutAnswer = true } << false
            << u"Address lookup failed: The service closed the connection without answering."_s;
        QTest::newRow("connection refused")
            << TestServer::Reply {} << true
            << u"Address lookup failed: The service refused the connection."_s;
    }

    void lookUp()
    {
        QFETCH(TestServer::Reply, reply);
        QFETCH(bool, refused);
        QFETCH(QString, outcome);
        m_server->setReply(u"/search"_s, reply);
        Services s = services();
        if (refused)
            s.geocoder = QUrl(u"http://127.0.0.1:%1"_s.arg(TestServer::closedPort()));
        Geocoder geocoder(&m_network, s, geocoderOptions(300));

        QElapsedTimer clock;
        clock.start();
        GeocodeReply *search = geocoder.lookUp(u"  Portland, OR "_s, this);
        QSignalSpy finished(search, &Reply::finished);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
        // The rate limit may hold a request back one second, the time-out adds 300 ms.
        QVERIFY2(clock.elapsed() < 2500, QByteArray::number(clock.elapsed()).constData());

        if (outcome == "found"_L1) {
            QCOMPARE(search->result(), GeocodeReply::Result::Match);
            QCOMPARE(search->place().homeLabel(), u"Portland, Oregon"_s);
            QCOMPARE(search->errorText(), QString());
        } else if (outcome == "none"_L1) {
            QCOMPARE(search->result(), GeocodeReply::Result::NoMatch);
            QCOMPARE(search->errorText(), QString());
        } else {
            QCOMPARE(search->result(), GeocodeReply::Result::Failed);
            QCOMPARE(search->errorText(), outcome);
        }
        // Exactly one report, and nothing more later.
        QTest::qWait(50);
        QCOMPARE(finished.size(), 1);
        delete search;
    }

    void requestIdentifiesItself()
    {
        m_server->setReply(u"/search"_s, json(portlandAnswer));
        const Services s = services();
        Geocoder geocoder(&m_network, s, geocoderOptions());
        GeocodeReply *reply = geocoder.lookUp(u"1 Main St, Portland & Co"_s, this);
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 3000);
        QCOMPARE(reply->result(), GeocodeReply::Result::Match);
        delete reply;

        QCOMPARE(m_server->requests().size(), 1);
        const TestServer::Request request = m_server->requests().first();
        const QUrl url(u"http://x"_s + request.path);
        QCOMPARE(url.path(), u"/search"_s);
        const QUrlQuery query(url);
        QCOMPARE(query.queryItemValue(u"q"_s, QUrl::FullyDecoded), u"1 Main St, Portland & Co"_s);
        QCOMPARE(query.queryItemValue(u"format"_s), u"jsonv2"_s);
        QCOMPARE(query.queryItemValue(u"addressdetails"_s), u"1"_s);
        QCOMPARE(query.queryItemValue(u"limit"_s), u"1"_s);
        QCOMPARE(request.headers.value("user-agent"), s.userAgentWithContact());
    }

    // The service allows one request a second; the latest question is still the one answered.
    void requestsAreSpacedAndTheLatestWins()
    {
        m_server->setQueuedReplies(u"/search"_s, { json(portlandAnswer), json(parisAnswer) });
        QList<qint64> arrivals;
        QElapsedTimer clock;
        clock.start();
        connect(m_server.get(), &TestServer::requestReceived, this,
            [&](const TestServer::Request &) { arrivals.append(clock.elapsed()); });

        Geocoder geocoder(&m_network, services(), geocoderOptions());
        const std::unique_ptr<GeocodeReply> portland(geocoder.lookUp(u"Portland"_s, this));
        QTRY_VERIFY_WITH_TIMEOUT(portland->isFinished(), 3000);
        // Both come within the second after the first request: the second waits, and the
        // third replaces it while it waits.
        const std::unique_ptr<GeocodeReply> lyon(geocoder.lookUp(u"Lyon"_s, this));
        const std::unique_ptr<GeocodeReply> paris(geocoder.lookUp(u"Paris"_s, this));
        QVERIFY(lyon->isCancelled());
        QTRY_VERIFY_WITH_TIMEOUT(paris->isFinished(), 3000);
        QTest::qWait(100);
        QVERIFY(!lyon->isFinished());

        QCOMPARE(arrivals.size(), 2);
        QVERIFY2(arrivals.at(1) - arrivals.at(0) >= 950,
            QByteArray::number(arrivals.at(1) - arrivals.at(0)).constData());
        const QUrlQuery second(QUrl(u"http://x"_s + m_server->requests().at(1).path));
        QCOMPARE(second.queryItemValue(u"q"_s), u"Paris"_s);
        QCOMPARE(paris->place().locality, u"Paris"_s);
    }

    void cancelSilences()
    {
        m_server->setReply(
            u"/search"_s, TestServer::Reply { .body = portlandAnswer, .delayMs = 200 });
        Geocoder geocoder(&m_network, services(), geocoderOptions());
        const std::unique_ptr<GeocodeReply> reply(geocoder.lookUp(u"Portland"_s, this));
        QSignalSpy finished(reply.get(), &Reply::finished);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(u"/search"_s), 1, 3000);
        reply->cancel();
        QTest::qWait(400);
        QCOMPARE(finished.size(), 0);
        QVERIFY(!reply->isFinished());

        // Blank text asks nothing.
        QCOMPARE(geocoder.lookUp(u" \t "_s, this), nullptr);
    }

    void coordinates_data()
    {
        QTest::addColumn<QString>("latitude");
        QTest::addColumn<QString>("longitude");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lon");
        QTest::newRow("plain") << u"45.5"_s << u"-122.6"_s << true << 45.5 << -122.6;
        QTest::newRow("spaces and tabs around")
            << u" 45.6387 "_s << u"\t-122.6615"_s << true << 45.6387 << -122.6615;
        QTest::newRow("bounds inclusive") << u"90"_s << u"-180"_s << true << 90.0 << -180.0;
        QTest::newRow("exponent") << u"4.5e1"_s << u"1e1"_s << true << 45.0 << 10.0;
        QTest::newRow("plus sign") << u"+45"_s << u"0"_s << true << 45.0 << 0.0;
        QTest::newRow("decimal comma") << u"45,6387"_s << u"-122.6615"_s << false << 0.0 << 0.0;
        QTest::newRow("just above") << u"90.0001"_s << u"0"_s << false << 0.0 << 0.0;
        QTest::newRow("nan") << u"nan"_s << u"0"_s << false << 0.0 << 0.0;
        QTest::newRow("inf") << u"0"_s << u"inf"_s << false << 0.0 << 0.0;
        QTest::newRow("empty") << QString() << u"0"_s << false << 0.0 << 0.0;
        QTest::newRow("only spaces") << u"   "_s << u"0"_s << false << 0.0 << 0.0;
        QTest::newRow("trailing letter") << u"45.5N"_s << u"0"_s << false << 0.0 << 0.0;
        QTest::newRow("group separator") << u"1,000"_s << u"0"_s << false << 0.0 << 0.0;
        QTest::newRow("line break kept") << u"45.5\n"_s << u"0"_s << false << 0.0 << 0.0;
    }

    void coordinates()
    {
        QFETCH(QString, latitude);
        QFETCH(QString, longitude);
        QFETCH(bool, valid);
        const std::optional<LatLon> parsed = SetupView::parseCoordinates(latitude, longitude);
        QCOMPARE(parsed.has_value(), valid);
        if (parsed) {
            QTEST(parsed->latitude, "lat");
            QTEST(parsed->longitude, "lon");
        }
    }

    void locationAnswers()
    {
        LocationOnce location(nmeaSource(recordedFix));
        QSignalSpy located(&location, &LocationOnce::located);
        QSignalSpy failed(&location, &LocationOnce::failed);
        location.request();
        QVERIFY(location.isPending());
        location.request(); // a second ask while one is pending changes nothing
        QTRY_COMPARE_WITH_TIMEOUT(located.size(), 1, 5000);
        QVERIFY(!location.isPending());
        QCOMPARE(qRound(located.first().at(0).toDouble() * 10000), 456387);
        QCOMPARE(qRound(located.first().at(1).toDouble() * 10000), -1226615);
        QTest::qWait(100);
        QCOMPARE(located.size() + failed.size(), 1);
    }

    void locationFails_data()
    {
        QTest::addColumn<bool>("hasSource");
        QTest::newRow("no source") << false;
        QTest::newRow("silent source") << true;
    }

    void locationFails()
    {
        QFETCH(bool, hasSource);
        LocationOnce location(hasSource
                ? nmeaSource({})
                : [](QObject *) -> QGeoPositionInfoSource * { return nullptr; });
        location.setTimeout(300ms);
        QSignalSpy located(&location, &LocationOnce::located);
        QSignalSpy failed(&location, &LocationOnce::failed);
        location.request();
        // Never synchronous: the caller has finished its own bookkeeping first.
        QCOMPARE(failed.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 3000);
        QTest::qWait(400);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(located.size(), 0);
        QVERIFY(!location.isPending());
    }

    void typedCoordinatesBecomeHome()
    {
        makeStore();
        SetupView view(SetupView::Mode::FirstRun, m_store.get(), nullptr, nullptr);
        view.show();
        QPushButton *start = findByText<QPushButton>(&view, u"Start Watching the Sky"_s);
        QPushButton *set = findByText<QPushButton>(&view, u"Set"_s);
        QLineEdit *latitude = findField(&view, u"Latitude"_s);
        QLineEdit *longitude = findField(&view, u"Longitude"_s);
        QVERIFY(start && set && latitude && longitude);
        QVERIFY(!start->isEnabled());
        QVERIFY(!set->isEnabled());
        // Without services behind them, the lookups cannot be started.
        QVERIFY(!findByText<QPushButton>(&view, u"Look Up"_s)->isEnabled());
        QVERIFY(!findByText<QPushButton>(&view, u"Use this computer's location"_s)->isEnabled());

        QTest::mouseClick(
            findByText<QToolButton>(&view, u"Enter coordinates manually"_s), Qt::LeftButton);
        QVERIFY(latitude->isVisible());
        QTest::keyClicks(latitude, u"45,6387"_s);
        QVERIFY(!set->isEnabled());
        QTest::keyClicks(longitude, u"-122.6615"_s);
        QVERIFY(set->isEnabled());
        QTest::mouseClick(set, Qt::LeftButton);
        QCOMPARE(view.statusMessage(),
            u"Coordinates must be decimal degrees, e.g. 45.6387, -122.6615."_s);
        QVERIFY(view.statusIsError());
        QVERIFY(!view.resolved());
        QVERIFY(!start->isEnabled());

        latitude->clear();
        QTest::keyClicks(latitude, u" 45.6387 "_s);
        QTest::mouseClick(set, Qt::LeftButton);
        QCOMPARE(view.statusMessage(), u"Location found."_s);
        QVERIFY(!view.statusIsError());
        QCOMPARE(latitude->text(), u"45.63870"_s);
        QCOMPARE(longitude->text(), u"-122.66150"_s);
        QCOMPARE(resolvedLine(&view), u"Home  (45.6387, -122.6615)"_s);
        QVERIFY(!m_store->home()); // accepting alone stores nothing
        QVERIFY(start->isEnabled());

        // A later bad entry leaves the candidate alone.
        latitude->setText(u"91"_s);
        QTest::mouseClick(set, Qt::LeftButton);
        QVERIFY(view.statusIsError());
        QCOMPARE(view.resolved()->latitude, 45.6387);

        QSignalSpy finished(&view, &SetupView::finished);
        QTest::mouseClick(start, Qt::LeftButton);
        const HomeLocation expected { 45.6387, -122.6615, u"Home"_s };
        QCOMPARE(m_store->home(), expected);
        QCOMPARE(HomeLocation::fromJsonBytes(m_preferences->homeLocation()), expected);
        QCOMPARE(finished.size(), 1);
        QTRY_COMPARE(m_server->requestCount(u"/v2/point/"_s), 1);
    }

    void returnKeys()
    {
        makeStore();
        Geocoder geocoder(&m_network, services(), geocoderOptions());
        SetupView view(SetupView::Mode::FirstRun, m_store.get(), &geocoder, nullptr);
        view.show();
        QLineEdit *address = findField(&view, u"Street address, city, or place name"_s);
        QLineEdit *latitude = findField(&view, u"Latitude"_s);
        QLineEdit *longitude = findField(&view, u"Longitude"_s);

        // An empty address makes Return do nothing, not even confirm.
        address->setFocus();
        QTest::keyClick(address, Qt::Key_Return);
        QTest::qWait(100);
        QCOMPARE(m_server->requestCount(u"/search"_s), 0);
        QVERIFY(!view.isWorking());

        // Return in the coordinates applies them; the next Return confirms.
        findByText<QToolButton>(&view, u"Enter coordinates manually"_s)->click();
        latitude->setText(u"90"_s);
        longitude->setText(u"-180"_s);
        longitude->setFocus();
        QTest::keyClick(longitude, Qt::Key_Return);
        QCOMPARE(resolvedLine(&view), u"Home  (90.0000, -180.0000)"_s);
        QVERIFY(!m_store->home());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(m_store->home(), (HomeLocation { 90.0, -180.0, u"Home"_s }));
    }

    void addressLookupKeepsCandidateOnFailure()
    {
        makeStore();
        m_server->setQueuedReplies(u"/search"_s,
            { json(portlandAnswer), TestServer::Reply { .status = 500 }, json("not json"),
                json("[]"), TestServer::Reply { .hang = true } });
        Geocoder geocoder(&m_network, services(), geocoderOptions(300));
        SetupView view(SetupView::Mode::FirstRun, m_store.get(), &geocoder, nullptr);
        view.show();
        QLineEdit *address = findField(&view, u"Street address, city, or place name"_s);
        QPushButton *lookUp = findByText<QPushButton>(&view, u"Look Up"_s);
        QPushButton *useLocation =
            findByText<QPushButton>(&view, u"Use this computer's location"_s);
        QVERIFY(!lookUp->isEnabled());
        QTest::keyClicks(address, u"Portland"_s);
        QVERIFY(lookUp->isEnabled());

        QTest::keyClick(address, Qt::Key_Return);
        QVERIFY(view.isWorking());
        QVERIFY(!lookUp->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view.isWorking(), 3000);
        QCOMPARE(view.statusMessage(), u"Location found."_s);
        QCOMPARE(resolvedLine(&view), u"Portland, Oregon  (45.5202, -122.6742)"_s);
        QCOMPARE(findField(&view, u"Latitude"_s)->text(), u"45.52025"_s);

        const QStringList failures {
            u"Address lookup failed: The service answered HTTP 500 (Internal Server Error)."_s,
            u"Address lookup failed: The service's answer could not be read."_s,
            u"No match found for that address."_s,
            u"Address lookup failed: The service did not answer in time."_s,
        };
        for (const QString &failure : failures) {
            QTest::mouseClick(lookUp, Qt::LeftButton);
            QVERIFY(view.isWorking());
            QVERIFY(view.statusMessage().isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(!view.isWorking(), 3000);
            QCOMPARE(view.statusMessage(), failure);
            QVERIFY(view.statusIsError());
            QLabel *status = statusLabel(view);
            QVERIFY(status && status->isVisible());
            QCOMPARE(status->textFormat(), Qt::PlainText);
            QCOMPARE(resolvedLine(&view), u"Portland, Oregon  (45.5202, -122.6742)"_s);
            QVERIFY(lookUp->isEnabled());
            QVERIFY(!useLocation->isEnabled()); // no location service was given
        }
        QVERIFY(!m_store->home());
    }

    void currentLocation_data()
    {
        QTest::addColumn<QByteArray>("sentences");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("found");
        QTest::newRow("answers") << recordedFix << u"Location found."_s
                                 << u"My location  (45.6387, -122.6615)"_s;
        QTest::newRow("silent")
            << QByteArray()
            << u"Couldn't get this computer's location. Try the address field instead."_s
            << QString();
    }

    void currentLocation()
    {
        QFETCH(QByteArray, sentences);
        makeStore();
        LocationOnce location(nmeaSource(sentences));
        location.setTimeout(300ms);
        SetupView view(SetupView::Mode::FirstRun, m_store.get(), nullptr, &location);
        view.show();
        QPushButton *button = findByText<QPushButton>(&view, u"Use this computer's location"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(view.isWorking());
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view.isWorking(), 5000);
        QVERIFY(button->isEnabled());
        QTEST(view.statusMessage(), "status");
        QTEST(resolvedLine(&view), "found");
    }

    void sheetShowsHomeAndCancels()
    {
        const HomeLocation home { 51.47, -0.4543, u"Hounslow, England"_s };
        m_preferences->setHomeLocation(*home.toJsonBytes());
        makeStore();
        SetupView view(SetupView::Mode::Sheet, m_store.get(), nullptr, nullptr);
        view.show();
        QVERIFY(!findByText<QPushButton>(&view, u"Start Watching the Sky"_s));
        QVERIFY(!findByText<QLabel>(&view, u"Welcome to Skyvelle"_s));
        QVERIFY(findByText<QLabel>(&view, u"Home Location"_s));
        QLineEdit *latitude = findField(&view, u"Latitude"_s);
        QVERIFY(latitude->isVisible());
        QCOMPARE(latitude->text(), u"51.47000"_s);
        QCOMPARE(findField(&view, u"Longitude"_s)->text(), u"-0.45430"_s);
        QVERIFY(findField(&view, u"Street address, city, or place name"_s)->text().isEmpty());
        QCOMPARE(resolvedLine(&view), u"Hounslow, England  (51.4700, -0.4543)"_s);
        QVERIFY(findByText<QPushButton>(&view, u"Save"_s)->isEnabled());

        QSignalSpy homeChanged(m_store.get(), &FlightStore::homeChanged);
        QSignalSpy finished(&view, &SetupView::finished);
        latitude->setText(u"10"_s);
        QTest::mouseClick(findByText<QPushButton>(&view, u"Set"_s), Qt::LeftButton);
        QTest::mouseClick(findByText<QPushButton>(&view, u"Cancel"_s), Qt::LeftButton);
        QCOMPARE(finished.size(), 1);
        QTest::keyClick(&view, Qt::Key_Escape);
        QCOMPARE(finished.size(), 2);
        QCOMPARE(homeChanged.size(), 0);
        QCOMPARE(m_store->home(), home);

        QTest::mouseClick(findByText<QPushButton>(&view, u"Save"_s), Qt::LeftButton);
        QCOMPARE(finished.size(), 3);
        QCOMPARE(m_store->home(), (HomeLocation { 10.0, -0.4543, u"Home"_s }));
    }

    void boxIsCentred_data()
    {
        QTest::addColumn<bool>("sheet");
        QTest::addColumn<QSize>("size");
        QTest::newRow("first run, narrow") << false << QSize(560, 520);
        QTest::newRow("first run, wide") << false << QSize(1180, 740);
        QTest::newRow("sheet, narrow") << true << QSize(560, 420);
        QTest::newRow("sheet, wide") << true << QSize(900, 600);
    }

    void boxIsCentred()
    {
        QFETCH(bool, sheet);
        QFETCH(QSize, size);
        makeStore();
        SetupView view(sheet ? SetupView::Mode::Sheet : SetupView::Mode::FirstRun, m_store.get(),
            nullptr, nullptr);
        view.resize(size);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QWidget *box = view.findChild<QWidget *>(u"setupBox"_s);
        const QPushButton *commit =
            findByText<QPushButton>(&view, sheet ? u"Save"_s : u"Start Watching the Sky"_s);
        // As wide as it may be, and on the same axis as the header and the buttons.
        QCOMPARE(box->width(), qMin(480, size.width() - 60));
        QVERIFY(qAbs(box->geometry().center().x() - view.rect().center().x()) <= 1);
        const int buttonsCentre = sheet
            ? (findByText<QPushButton>(&view, u"Cancel"_s)->geometry().left()
                  + commit->geometry().right())
                / 2
            : commit->geometry().center().x();
        QVERIFY(qAbs(box->geometry().center().x() - buttonsCentre) <= 1);
    }

    // Offscreen renders of both modes in both palettes. Set SKYVELLE_RENDER_DIR to keep them.
    void renders_data()
    {
        QTest::addColumn<bool>("sheet");
        QTest::addColumn<bool>("dark");
        QTest::newRow("first run, light") << false << false;
        QTest::newRow("first run, dark") << false << true;
        QTest::newRow("sheet, light") << true << false;
        QTest::newRow("sheet, dark") << true << true;
    }

    void renders()
    {
        QFETCH(bool, sheet);
        QFETCH(bool, dark);
        const QPalette previous = QApplication::palette();
        const QPalette palette = dark ? Appearance::darkPalette() : Appearance::lightPalette();
        QApplication::setPalette(palette);

        if (sheet)
            m_preferences->setHomeLocation(
                *HomeLocation { 45.5202, -122.6742, u"Portland, Oregon"_s }.toJsonBytes());
        makeStore();
        Geocoder geocoder(&m_network, services(), geocoderOptions());
        LocationOnce location(nmeaSource({}));
        SetupView view(sheet ? SetupView::Mode::Sheet : SetupView::Mode::FirstRun, m_store.get(),
            &geocoder, &location);
        view.show();
        if (!sheet) {
            // Every part at once: a candidate, a lookup running, and a refused entry.
            m_server->setReply(u"/search"_s, TestServer::Reply { .hang = true });
            findByText<QToolButton>(&view, u"Enter coordinates manually"_s)->click();
            findField(&view, u"Latitude"_s)->setText(u"45.6387"_s);
            findField(&view, u"Longitude"_s)->setText(u"-122.6615"_s);
            findByText<QPushButton>(&view, u"Set"_s)->click();
            findField(&view, u"Street address, city, or place name"_s)->setText(u"Portland"_s);
            findByText<QPushButton>(&view, u"Look Up"_s)->click();
            findField(&view, u"Latitude"_s)->setText(u"45,6"_s);
            findByText<QPushButton>(&view, u"Set"_s)->click();
            QVERIFY(view.isWorking());
        }
        view.resize(view.minimumSizeHint());
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.width(), 560);
        QVERIFY(view.height() >= (sheet ? 400 : 500));
        // Nothing squeezed below the height it asks for.
        for (const QLineEdit *field : view.findChildren<QLineEdit *>())
            QVERIFY(!field->isVisible() || field->height() >= field->sizeHint().height());
        const QImage image = view.grab().toImage();
        if (const QString dir = qEnvironmentVariable("SKYVELLE_RENDER_DIR"); !dir.isEmpty())
            image.save(QDir(dir).filePath(u"setup-%1-%2.png"_s.arg(
                sheet ? "sheet"_L1 : "firstrun"_L1, dark ? "dark"_L1 : "light"_L1)));

        // The window colour behind, a distinct panel in the middle, and in first-run mode the
        // blue header symbol and the red status line.
        const qreal dpr = image.devicePixelRatio();
        const auto pixel = [&](QPoint p) { return image.pixelColor(p * dpr); };
        QCOMPARE(pixel({ 3, 3 }), palette.color(QPalette::Window));
        const QWidget *address = findField(&view, u"Street address, city, or place name"_s);
        const QPoint insidePanel = address->mapTo(&view, QPoint(-8, address->height() / 2));
        QVERIFY(pixel(insidePanel) != palette.color(QPalette::Window));
        QCOMPARE(pixel(insidePanel).lightness() < 128, dark);
        if (!sheet) {
            const QColor blue = SystemColors::blue(palette);
            bool sawBlue = false;
            bool sawRed = false;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    sawBlue = sawBlue || c == blue;
                    sawRed = sawRed || (c.red() > 150 && c.green() < 90 && c.blue() < 90);
                }
            }
            QVERIFY(sawBlue);
            QVERIFY(sawRed);

            // A theme switch while the view is open recolours the error line. (QtTest never
            // runs exec(), so QApplication::setPalette() would not notify; the view's own
            // palette change takes the same path.)
            const QPalette other = dark ? Appearance::lightPalette() : Appearance::darkPalette();
            view.setPalette(other);
            QCOMPARE(
                statusLabel(view)->palette().color(QPalette::WindowText), SystemColors::red(other));
        }
        QApplication::setPalette(previous);
    }
};

QTEST_MAIN(TestSetup)
#include "tst_setup.moc"
