// SPDX-License-Identifier: GPL-3.0-or-later
#include "flightstore.h"
#include "preferences.h"
#include "sharedstate.h"
#include "testserver.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const HomeLocation portland { 45.5, -122.6, u"Portland"_s };
const QString primaryPrefix = u"/v2/point/"_s;
const QString secondaryPrefix = u"/api/v2/"_s;

struct Plane {
    const char *hex;
    double lat;
    double distance;
};

TestServer::Reply answer(std::initializer_list<Plane> planes)
{
    QByteArray list;
    for (const Plane &p : planes) {
        if (!list.isEmpty())
            list += ',';
        list += "{\"hex\":\"" + QByteArray(p.hex)
            + "\",\"lat\":" + QByteArray::number(p.lat, 'f', 6)
            + ",\"lon\":-122.5,\"dst\":" + QByteArray::number(p.distance) + '}';
    }
    TestServer::Reply reply;
    reply.body = "{\"ac\":[" + list + "]}";
    return reply;
}

TestServer::Reply status(int code)
{
    TestServer::Reply reply;
    reply.status = code;
    return reply;
}

QStringList hexes(const QList<Aircraft> &aircraft)
{
    QStringList result;
    for (const Aircraft &a : aircraft)
        result << a.hex;
    return result;
}

} // namespace

class TestFlightStore : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<Preferences> m_preferences;
    QNetworkAccessManager m_network;

    QString settingsPath() const { return m_dir->filePath(u"Skyvelle.conf"_s); }
    QString sharedDir() const { return m_dir->filePath(u"data"_s); }

    // timeoutMs: how long each of the store's requests may take.
    std::unique_ptr<FlightStore> makeStore(int timeoutMs = RequestOptions::defaultTimeoutMs)
    {
        QVariantMap overrides;
        overrides.insert(u"feedPrimary"_s, m_server->baseUrl().toString());
        overrides.insert(u"feedSecondary"_s, m_server->baseUrl().toString());
        overrides.insert(u"feedPrimaryName"_s, u"Primary"_s);
        overrides.insert(u"feedSecondaryName"_s, u"Secondary"_s);
        return std::make_unique<FlightStore>(m_preferences.get(), &m_network,
            Services::withOverrides(overrides), sharedDir(), nullptr, timeoutMs);
    }

    // Starts a store with a home and waits for its first answer.
    std::unique_ptr<FlightStore> storeAtHome()
    {
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        QSignalSpy applied(store.get(), &FlightStore::answerApplied);
        if (!applied.wait(3000))
            qWarning("no first answer");
        return store;
    }

    // Polls once more and waits for the store to apply the answer or record the failure.
    static void pollOnce(FlightStore &store)
    {
        QSignalSpy applied(&store, &FlightStore::answerApplied);
        QSignalSpy failed(&store, &FlightStore::lastErrorChanged);
        store.fetchNow();
        QTRY_VERIFY(applied.size() + failed.size() > 0 && !store.isPolling());
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<TestServer>();
        m_preferences = std::make_unique<Preferences>(settingsPath());
        m_server->setPrefixReply(secondaryPrefix, answer({}));
    }

    void cleanup()
    {
        m_preferences.reset();
        m_server.reset();
        m_dir.reset();
    }

    void freshStartIsIdle()
    {
        auto store = makeStore();
        QSignalSpy reloads(store.get(), &FlightStore::widgetReloadRequested);
        QVERIFY(!store->home());
        QCOMPARE(store->radiusNM(), 25.0);
        QTest::qWait(200);
        QCOMPARE(m_server->requestCount(), 0);
        QVERIFY(!QFile::exists(SharedState::filePath(sharedDir())));
        QCOMPARE(reloads.size(), 0);
    }

    void settingHomePersistsSharesAndPolls()
    {
        m_server->setPrefixReply(primaryPrefix, answer({ { "a1", 45.6, 3.0 } }));
        auto store = makeStore();
        QSignalSpy reloads(store.get(), &FlightStore::widgetReloadRequested);
        store->setHome(portland);
        QTRY_COMPARE(store->aircraft().size(), 1);
        QCOMPARE(m_server->requests().first().path, u"/v2/point/45.50000/-122.60000/25"_s);
        QCOMPARE(store->activeSource(), u"Primary"_s);
        QVERIFY(store->lastUpdated().isValid());
        QCOMPARE(reloads.size(), 1);

        const auto shared = SharedState::read(sharedDir());
        QVERIFY(shared);
        QCOMPARE(shared->home, portland);
        QCOMPARE(shared->radiusNM, 25.0);
        QCOMPARE(shared->distanceUnit, u"mi"_s);
        QCOMPARE(shared->widgetColorHex, u"#73FF99"_s);

        // The home is kept as the bytes of its JSON, which QSettings writes as @ByteArray(...).
        m_preferences->sync();
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray ini = file.readAll();
        QVERIFY2(
            ini.contains("homeLocation=\"@ByteArray({\\\"latitude\\\":45.5,"), ini.constData());
        Preferences reread(settingsPath());
        QCOMPARE(HomeLocation::fromJsonBytes(reread.homeLocation()), portland);
    }

    void storedRadius_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<double>("radius");
        QTest::newRow("absent") << QVariant() << 25.0;
        QTest::newRow("negative") << QVariant(-5.0) << 25.0;
        QTest::newRow("zero") << QVariant(0.0) << 25.0;
        QTest::newRow("text") << QVariant(u"wide"_s) << 25.0;
        QTest::newRow("40") << QVariant(40.0) << 40.0;
    }

    void storedRadius()
    {
        QFETCH(QVariant, stored);
        if (stored.isValid())
            QSettings(settingsPath(), QSettings::IniFormat).setValue(u"radiusNM"_s, stored);
        m_preferences = std::make_unique<Preferences>(settingsPath());
        QTEST(makeStore()->radiusNM(), "radius");
    }

    void radiusChangeStoresSharesAndPolls()
    {
        m_server->setPrefixReply(primaryPrefix, answer({ { "a1", 45.6, 3.0 } }));
        auto store = storeAtHome();
        QSignalSpy reloads(store.get(), &FlightStore::widgetReloadRequested);
        m_server->clearRequests();
        store->setRadiusNM(100);
        QCOMPARE(m_preferences->radiusNM(), 100.0);
        QCOMPARE(SharedState::read(sharedDir())->radiusNM, 100.0);
        QCOMPARE(reloads.size(), 1);
        QTRY_COMPARE(m_server->requestCount(primaryPrefix), 1);
        QCOMPARE(m_server->requests().first().path, u"/v2/point/45.50000/-122.60000/100"_s);
    }

    void undecodableHomeIsNoHomeAndKept_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::newRow("wrong type") << "{\"latitude\":\"north\"}"_ba;
        // Valid JSON, off the globe: once sent the map's loops spinning.
        QTest::newRow("longitude 1e16") << R"({"latitude":45,"longitude":1e16,"label":"x"})"_ba;
        QTest::newRow("latitude 1e308") << R"({"latitude":1e308,"longitude":1,"label":"x"})"_ba;
    }

    void undecodableHomeIsNoHomeAndKept()
    {
        QFETCH(QByteArray, blob);
        m_preferences->setHomeLocation(blob);
        auto store = makeStore();
        QVERIFY(!store->home());
        QTest::qWait(100);
        QCOMPARE(m_server->requestCount(), 0);
        QCOMPARE(m_preferences->homeLocation(), blob);
    }

    void failedPollKeepsTheList()
    {
        m_server->setQueuedReplies(u"/v2/point/45.50000/-122.60000/25"_s,
            { answer({ { "a1", 45.6, 3.0 } }), status(503), answer({ { "a2", 45.6, 1.0 } }) });
        m_server->setPrefixReply(secondaryPrefix, status(500));
        auto store = storeAtHome();
        const QDateTime firstUpdate = store->lastUpdated();
        QCOMPARE(hexes(store->aircraft()), QStringList { u"a1"_s });

        pollOnce(*store);
        QCOMPARE(store->lastError(), u"Secondary returned an error"_s);
        QCOMPARE(hexes(store->aircraft()), QStringList { u"a1"_s });
        QCOMPARE(store->lastUpdated(), firstUpdate);
        QCOMPARE(store->activeSource(), u"Primary"_s);

        pollOnce(*store);
        QVERIFY(store->lastError().isEmpty());
        QCOMPARE(hexes(store->aircraft()), QStringList { u"a2"_s });
    }

    void trails_data()
    {
        QTest::addColumn<QVariant>("trailMinutes");
        QTest::addColumn<int>("polls");
        QTest::addColumn<int>("kept");
        QTest::newRow("unset") << QVariant() << 20 << 12;
        QTest::newRow("30 seconds") << QVariant(0.5) << 10 << 6;
        QTest::newRow("tiny is raised to 6") << QVariant(0.1) << 10 << 6;
        QTest::newRow("5 minutes") << QVariant(5.0) << 65 << 60;
        QTest::newRow("not a number") << QVariant(u"long"_s) << 20 << 12;
    }

    void trails()
    {
        QFETCH(QVariant, trailMinutes);
        QFETCH(int, polls);
        QFETCH(int, kept);
        if (trailMinutes.isValid())
            QSettings(settingsPath(), QSettings::IniFormat)
                .setValue(u"trailMinutes"_s, trailMinutes);
        m_preferences = std::make_unique<Preferences>(settingsPath());
        QList<TestServer::Reply> replies;
        for (int i = 0; i < polls; ++i)
            replies << answer({ { "mover", 45.0 + i * 0.01, 2.0 }, { "parked", 45.3, 3.0 } });
        m_server->setQueuedReplies(u"/v2/point/45.50000/-122.60000/25"_s, replies);
        auto store = storeAtHome();
        for (int i = 1; i < polls; ++i)
            pollOnce(*store);

        const QList<LatLon> trail = store->trails().value(u"mover"_s);
        QCOMPARE(trail.size(), kept);
        QCOMPARE(trail.last().latitude, 45.0 + (polls - 1) * 0.01);
        QVERIFY(trail.first().latitude < trail.last().latitude);
        // A parked aircraft does not grow its trail.
        QCOMPARE(store->trails().value(u"parked"_s).size(), 1);
    }

    void trailsFollowTheList()
    {
        m_server->setQueuedReplies(u"/v2/point/45.50000/-122.60000/25"_s,
            { answer({ { "a1", 45.6, 3.0 }, { "a2", 45.7, 4.0 } }),
                answer({ { "a1", 45.61, 3.0 } }) });
        auto store = storeAtHome();
        QCOMPARE(store->trails().size(), 2);
        pollOnce(*store);
        QCOMPARE(store->trails().keys(), QStringList { u"a1"_s });
        QCOMPARE(store->trails().value(u"a1"_s).size(), 2);
    }

    void trailsAcrossPolls_data()
    {
        QTest::addColumn<bool>("holdLastTable");
        QTest::newRow("store alone") << false;
        // The map keeps the table it was last given until the next one arrives.
        QTest::newRow("map holds the last table") << true;
    }

    void trailsAcrossPolls()
    {
        QFETCH(bool, holdLastTable);
        // The second answer names a1 twice: the later record decides its trail.
        m_server->setQueuedReplies(u"/v2/point/45.50000/-122.60000/25"_s,
            { answer({ { "a1", 45.6, 3.0 }, { "a2", 45.7, 4.0 }, { "gone", 45.8, 5.0 } }),
                answer({ { "a1", 45.61, 3.0 }, { "a1", 45.62, 3.5 }, { "a2", 45.7, 4.0 },
                    { "new", 45.9, 6.0 } }) });
        auto store = storeAtHome();
        const QHash<QString, QList<LatLon>> held =
            holdLastTable ? store->trails() : QHash<QString, QList<LatLon>>();
        pollOnce(*store);

        const auto latitudes = [&](const QString &hex) {
            QList<double> result;
            for (const LatLon &point : store->trails().value(hex))
                result << point.latitude;
            return result;
        };
        QCOMPARE(store->trails().size(), 3);
        QCOMPARE(latitudes(u"a1"_s), QList<double>({ 45.6, 45.62 }));
        QCOMPARE(latitudes(u"a2"_s), QList<double> { 45.7 });
        QCOMPARE(latitudes(u"new"_s), QList<double> { 45.9 });
        if (holdLastTable) {
            QCOMPARE(held.size(), 3);
            QCOMPARE(held.value(u"a1"_s).size(), 1);
            QVERIFY(held.contains(u"gone"_s));
        }
    }

    void selectionDropsWithItsAircraft()
    {
        m_server->setQueuedReplies(u"/v2/point/45.50000/-122.60000/25"_s,
            { answer({ { "a1", 45.6, 3.0 }, { "a2", 45.7, 4.0 } }),
                answer({ { "a2", 45.7, 1.0 }, { "a1", 45.6, 3.0 } }),
                answer({ { "a2", 45.7, 1.0 } }) });
        auto store = storeAtHome();
        store->setSelectedHex(u"a1"_s);
        QCOMPARE(store->selectedAircraft()->hex, u"a1"_s);
        pollOnce(*store);
        QCOMPARE(store->selectedHex(), u"a1"_s);

        QSignalSpy selection(store.get(), &FlightStore::selectedHexChanged);
        QSignalSpy aircraft(store.get(), &FlightStore::aircraftChanged);
        pollOnce(*store);
        QVERIFY(store->selectedHex().isEmpty());
        QVERIFY(!store->selectedAircraft());
        QCOMPARE(selection.size(), 1);
        QCOMPARE(aircraft.size(), 1);
    }

    void handOffGetsTheFullList()
    {
        m_server->setPrefixReply(
            primaryPrefix, answer({ { "a1", 45.6, 3.0 }, { "a2", 45.7, 4.0 } }));
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        store->setSearchText(u"a2"_s);
        QSignalSpy applied(store.get(), &FlightStore::answerApplied);
        QVERIFY(applied.wait(3000));
        QCOMPARE(hexes(applied.first().first().value<QList<Aircraft>>()),
            QStringList({ u"a1"_s, u"a2"_s }));
        QCOMPARE(hexes(store->displayedAircraft()), QStringList { u"a2"_s });
    }

    void displayedListFollowsEveryChange()
    {
        m_server->setQueuedReplies(u"/v2/point/45.50000/-122.60000/25"_s,
            { answer({ { "a1", 45.6, 3.0 }, { "a2", 45.7, 4.0 } }),
                answer({ { "a1", 45.6, 3.0 }, { "b3", 45.7, 4.0 } }) });
        auto store = storeAtHome();
        store->setSearchText(u"a2"_s);
        const QList<Aircraft> before = store->displayedAircraft();
        QCOMPARE(hexes(before), QStringList { u"a2"_s });
        pollOnce(*store);
        QVERIFY(store->displayedAircraft().isEmpty());
        QCOMPARE(hexes(before), QStringList { u"a2"_s });
        store->setSearchText(u"B"_s);
        QCOMPARE(hexes(store->displayedAircraft()), QStringList { u"b3"_s });
        store->setActiveFilters({ AircraftFilter::military });
        QVERIFY(store->displayedAircraft().isEmpty());
        store->setActiveFilters({});
        store->setSearchText({});
        QCOMPARE(hexes(store->displayedAircraft()), QStringList({ u"a1"_s, u"b3"_s }));
        store->setSearchText(u"a"_s);
        store->setHome(std::nullopt);
        QVERIFY(store->displayedAircraft().isEmpty());
    }

    void clearingTheHome()
    {
        m_server->setPrefixReply(primaryPrefix, answer({ { "a1", 45.6, 3.0 } }));
        auto store = storeAtHome();
        store->setSelectedHex(u"a1"_s);
        QSignalSpy reloads(store.get(), &FlightStore::widgetReloadRequested);
        m_server->clearRequests();

        store->setHome(std::nullopt);
        QVERIFY(store->aircraft().isEmpty());
        QVERIFY(store->selectedHex().isEmpty());
        QVERIFY(!store->lastUpdated().isValid());
        QVERIFY(store->lastError().isEmpty());
        QVERIFY(m_preferences->homeLocation().isEmpty());
        QVERIFY(!QFile::exists(SharedState::filePath(sharedDir())));
        QCOMPARE(reloads.size(), 1);
        QTest::qWait(200);
        QCOMPARE(m_server->requestCount(), 0);
    }

    void homeChangeDropsThePollInFlight()
    {
        TestServer::Reply slow = answer({ { "old", 45.6, 3.0 } });
        slow.delayMs = 400;
        m_server->setPrefixReply(primaryPrefix, slow);
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        QTRY_COMPARE(m_server->requestCount(primaryPrefix), 1);
        store->setHome(std::nullopt);
        QTest::qWait(700);
        QVERIFY(store->aircraft().isEmpty());
    }

    void pausing()
    {
        TestServer::Reply slow = answer({ { "a1", 45.6, 3.0 } });
        slow.delayMs = 300;
        m_server->setPrefixReply(primaryPrefix, slow);
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        QTRY_COMPARE(m_server->requestCount(primaryPrefix), 1);
        // Pausing lets the poll in flight land.
        store->setPaused(true);
        QTRY_COMPARE(store->aircraft().size(), 1);
        store->fetchNow();
        QTest::qWait(100);
        QCOMPARE(m_server->requestCount(primaryPrefix), 1);
        store->setPaused(false);
        QTRY_COMPARE(m_server->requestCount(primaryPrefix), 2);
    }

    // A primary that accepts and never answers holds each poll for the full time-out; the
    // five-second tick must not restart the poll before it reaches the secondary.
    void silentPrimaryStillReachesTheSecondary()
    {
        TestServer::Reply hang;
        hang.hang = true;
        m_server->setPrefixReply(primaryPrefix, hang);
        m_server->setPrefixReply(secondaryPrefix, answer({ { "s1", 45.6, 3.0 } }));
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        // Still longer than the poll interval, so that a tick lands while the primary hangs.
        auto store = makeStore(6000);
        QTRY_COMPARE_WITH_TIMEOUT(store->aircraft().size(), 1, 9000);
        QCOMPARE(store->activeSource(), u"Secondary"_s);
        QCOMPARE(m_server->requestCount(primaryPrefix), 1);
    }

    void sharingSkipsWhatIsUnchanged()
    {
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        QSignalSpy reloads(store.get(), &FlightStore::widgetReloadRequested);
        const QString path = SharedState::filePath(sharedDir());
        const QDateTime written = QFileInfo(path).lastModified();

        store->shareWithWidgets();
        QCOMPARE(reloads.size(), 0);
        QCOMPARE(QFileInfo(path).lastModified(), written);

        m_preferences->setDistanceUnit(Preferences::DistanceUnit::Kilometers);
        store->shareWithWidgets();
        QCOMPARE(reloads.size(), 1);
        QCOMPARE(SharedState::read(sharedDir())->distanceUnit, u"km"_s);

        store->setHome(HomeLocation { 45.5, -122.6, u"Home"_s });
        QCOMPARE(reloads.size(), 2);
        QCOMPARE(SharedState::read(sharedDir())->home.label, u"Home"_s);
        store->shareWithWidgets();
        QCOMPARE(reloads.size(), 2);
    }

    void staleFileWithoutHomeIsRemoved()
    {
        SharedState::write(SharedState::Config { portland, 25, {}, {} }, sharedDir());
        auto store = makeStore();
        QVERIFY(!QFile::exists(SharedState::filePath(sharedDir())));
        QSignalSpy reloads(store.get(), &FlightStore::widgetReloadRequested);
        store->shareWithWidgets();
        QCOMPARE(reloads.size(), 0);
    }

    void brokenSharedFileIsRewritten()
    {
        QDir().mkpath(sharedDir());
        QFile file(SharedState::filePath(sharedDir()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"home":{"latitude":45.5)");
        file.close();
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        QCOMPARE(SharedState::read(sharedDir())->home, portland);
    }
};

QTEST_GUILESS_MAIN(TestFlightStore)
#include "tst_flightstore.moc"
