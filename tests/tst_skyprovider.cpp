// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharedstate.h"
#include "skyprovider.h"
#include "skyvellewidgetbundle.h"
#include "testserver.h"

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TestServer::Reply)

namespace {

const HomeLocation portland { 45.5, -122.6, u"Portland"_s };

TestServer::Reply twoAircraft()
{
    TestServer::Reply reply;
    reply.body = R"({"ac":[{"hex":"abc123","flight":"ASA512  ","lat":45.6,"lon":-122.5,"dst":2},
                           {"hex":"def456","lat":45.7,"lon":-122.5,"dst":3}]})";
    return reply;
}

} // namespace

class TestSkyProvider : public QObject {
    Q_OBJECT

    // The provider's live entry over the local server, the configuration in m_dir.
    SkyEntry live()
    {
        SkyProvider provider(&m_network, services(), m_dir.path(), RequestOptions { "test", 2000 });
        std::optional<SkyEntry> entry;
        provider.liveEntry([&entry](const SkyEntry &built) { entry = built; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(entry.has_value(), 10000); }();
        return entry.value_or(SkyEntry {});
    }

    Services services() const
    {
        return Services::withOverrides({ { u"feedPrimary"_s, m_server.baseUrl().toString() },
            { u"feedSecondary"_s, m_server.baseUrl().toString() } });
    }

    void writeConfig(std::optional<QString> unit, std::optional<QString> colour)
    {
        QVERIFY(SharedState::write({ portland, 40.0, unit, colour }, m_dir.path()));
    }

private Q_SLOTS:
    void init()
    {
        SharedState::clear(m_dir.path());
        m_server.clearRequests();
    }

    void withoutConfigurationTheWidgetsAskForSetUp()
    {
        const SkyEntry entry = live();
        QVERIFY(!entry.home);
        QVERIFY(entry.needsSetup());
        QCOMPARE(entry.radiusNM, 25.0);
        QCOMPARE(entry.unit, u"mi"_s);
        QVERIFY(entry.aircraft.isEmpty());
        QVERIFY(!entry.isSample);
        QCOMPARE(deepLink(entry), QUrl(u"skyvelle://open"_s));
        QCOMPARE(m_server.requestCount(), 0);
    }

    void liveEntryCarriesTheConfigurationAndTheFeed()
    {
        writeConfig(u"km"_s, u"#FF8800"_s);
        m_server.setPrefixReply(u"/v2/point/"_s, twoAircraft());
        const SkyEntry entry = live();
        QCOMPARE(entry.home, std::optional(portland));
        QCOMPARE(entry.radiusNM, 40.0);
        QCOMPARE(entry.unit, u"km"_s);
        QCOMPARE(entry.accentHex, std::optional(u"#FF8800"_s));
        QCOMPARE(entry.aircraft.size(), 2);
        QCOMPARE(deepLink(entry), QUrl(u"skyvelle://aircraft/abc123"_s));
        const QString path = m_server.requests().last().path;
        QVERIFY2(path.startsWith(u"/v2/point/45.5"_s) && path.endsWith(u"/40"_s), qPrintable(path));

        // Without the optional keys: miles and the standard palette.
        writeConfig(std::nullopt, std::nullopt);
        const SkyEntry plain = live();
        QCOMPARE(plain.unit, u"mi"_s);
        QVERIFY(!plain.accentHex);
        QCOMPARE(plain.palette().phosphor, ScopePalette::standard().phosphor);
    }

    void failingFeedGivesAnEmptySky_data()
    {
        QTest::addColumn<TestServer::Reply>("reply");
        TestServer::Reply error;
        error.status = 503;
        TestServer::Reply garbage;
        garbage.body = "{\"ac\": [ {\"hex\": ";
        TestServer::Reply hanging;
        hanging.hang = true;
        QTest::newRow("server error") << error;
        QTest::newRow("garbage") << garbage;
        QTest::newRow("no answer") << hanging;
    }

    void failingFeedGivesAnEmptySky()
    {
        QFETCH(TestServer::Reply, reply);
        writeConfig(u"nm"_s, std::nullopt);
        m_server.setPrefixReply(u"/v2/point/"_s, reply);
        m_server.setPrefixReply(u"/api/v2/"_s, reply);
        QElapsedTimer clock;
        clock.start();
        const SkyEntry entry = live();
        QVERIFY(entry.home);
        QCOMPARE(entry.radiusNM, 40.0);
        QVERIFY(entry.aircraft.isEmpty());
        QVERIFY(!entry.isSample);
        QVERIFY(!entry.needsSetup());
        // Two sources, each within the client's time-out.
        QVERIFY(clock.elapsed() < 2 * 2000 + 1000);
    }

    void previewsAndTimelines()
    {
        SkyProvider provider(&m_network, services(), m_dir.path(), RequestOptions { "test", 2000 });
        const SkyEntry placeholder = provider.placeholder();
        QVERIFY(placeholder.isSample);
        QCOMPARE(placeholder.aircraft.size(), 5);
        QCOMPARE(placeholder.radiusNM, 25.0);
        QCOMPARE(deepLink(placeholder), QUrl(u"skyvelle://open"_s));

        std::optional<SkyEntry> preview;
        provider.getSnapshot(true, [&preview](const SkyEntry &e) { preview = e; });
        QVERIFY(preview && preview->isSample);
        QCOMPARE(m_server.requestCount(), 0);

        writeConfig(std::nullopt, std::nullopt);
        m_server.setPrefixReply(u"/v2/point/"_s, twoAircraft());
        std::optional<SkyTimeline> timeline;
        provider.getTimeline([&timeline](const SkyTimeline &t) { timeline = t; });
        QTRY_VERIFY(timeline.has_value());
        QCOMPARE(timeline->entries.size(), 1);
        QCOMPARE(timeline->entries.first().aircraft.size(), 2);
        QCOMPARE(timeline->entries.first().date.secsTo(timeline->reloadAfter), 300);
    }

    void bundleListsThreeKinds()
    {
        const QList<WidgetKind> &kinds = SkyvelleWidgetBundle::kinds();
        QCOMPARE(kinds.size(), 3);
        QCOMPARE(kinds[0].displayName, u"Nearest Aircraft"_s);
        QCOMPARE(kinds[1].families(), (QList { WidgetFamily::Small, WidgetFamily::Medium }));
        QCOMPARE(SkyvelleWidgetBundle::layout(u"com.tavrin.skyvelle.radar"_s, WidgetFamily::Medium),
            std::optional(WidgetLayout::RadarMedium));
        QCOMPARE(
            SkyvelleWidgetBundle::layout(u"com.tavrin.skyvelle.skyboard"_s, WidgetFamily::Small),
            std::nullopt);
        QCOMPARE(SkyvelleWidgetBundle::layout(u"unknown"_s, WidgetFamily::Small), std::nullopt);
    }

private:
    QTemporaryDir m_dir;
    TestServer m_server;
    QNetworkAccessManager m_network;
};

QTEST_GUILESS_MAIN(TestSkyProvider)
#include "tst_skyprovider.moc"
