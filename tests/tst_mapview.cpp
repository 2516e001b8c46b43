// SPDX-License-Identifier: GPL-3.0-or-later
#include "flightstore.h"
#include "map/mercator.h"
#include "map/radarmaprenderer.h"
#include "map/radarmapview.h"
#include "preferences.h"
#include "testserver.h"

#include <QAccessible>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

// The map pane as a user drives it: clicks select, the camera follows, the style menu.
class TestMapView : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestServer> m_server;

    // The feed answers every point query with @p body.
    void serve(const QByteArray &body)
    {
        TestServer::Reply reply;
        reply.body = body;
        m_server->setPrefixReply(u"/v2/point/"_s, reply);
    }

    Services feedServices() const
    {
        QVariantMap overrides;
        overrides.insert(u"feedPrimary"_s, m_server->baseUrl().toString());
        overrides.insert(u"feedSecondary"_s, m_server->baseUrl().toString());
        return Services::withOverrides(overrides);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<TestServer>();
    }

    void cleanup()
    {
        m_server.reset();
        m_dir.reset();
    }

    void viewSelectsAndMovesTheCamera()
    {
        serve(R"({"ac":[{"hex":"a1","lat":45.6,"lon":-122.5,"track":45,"alt_baro":12000,"dst":8},
                                   {"hex":"a2","lat":45.3,"lon":-122.9,"dst":15}]})");
        Preferences preferences(m_dir->filePath(u"Skyvelle.conf"_s));
        preferences.setReduceMotion(true);
        QNetworkAccessManager network;
        FlightStore store(&preferences, &network, feedServices(), m_dir->filePath(u"data"_s));
        RadarMapView view(&store, &preferences, nullptr);
        view.resize(800, 500);
        view.show();

        const HomeLocation home { 45.5, -122.6, u"Portland"_s };
        store.setHome(home);
        QTRY_COMPARE(store.aircraft().size(), 2);
        QCOMPARE(view.camera().centre, (LatLon { 45.5, -122.6 }));
        QCOMPARE(view.cameraDistance(), 231'500.0);

        // Clicking a marker selects it, and the camera flies there keeping its distance.
        const auto markerPoint = [&](const LatLon &position) {
            return Mercator::Viewport(QRectF(view.rect()), view.camera())
                .toScreen(position)
                .toPoint();
        };
        QTest::mouseClick(&view, Qt::LeftButton, {}, markerPoint({ 45.6, -122.5 }) + QPoint(3, -2));
        QCOMPARE(store.selectedHex(), u"a1"_s);
        QCOMPARE(view.camera().centre, (LatLon { 45.6, -122.5 }));
        QCOMPARE(view.cameraDistance(), 231'500.0);
        // Clicking empty map clears it; the camera stays.
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(40, 40));
        QVERIFY(store.selectedHex().isEmpty());
        QCOMPARE(view.camera().centre, (LatLon { 45.6, -122.5 }));

        // The selection keeps the distance within 8 km … 600 km.
        view.setCamera({ LatLon { 45.5, -122.6 }, 3'000 });
        store.setSelectedHex(u"a2"_s);
        QCOMPARE(view.cameraDistance(), 8'000.0);
        store.setSelectedHex({});
        view.setCamera({ LatLon { 45.5, -122.6 }, 900'000 });
        store.setSelectedHex(u"a1"_s);
        QCOMPARE(view.cameraDistance(), 600'000.0);

        // "Home" keeps the distance within 2 km … 2,000 km.
        view.setCamera({ LatLon { 40, -100 }, 1'000 });
        view.centerOnHome();
        QCOMPARE(view.camera().centre, (LatLon { 45.5, -122.6 }));
        QCOMPARE(view.cameraDistance(), 2'000.0);

        // "Fit All" runs from its button, and by itself when the radius changes.
        view.setCamera({ LatLon { 40, -100 }, 1'000 });
        QToolButton *fitAll = nullptr;
        for (QToolButton *button : view.findChildren<QToolButton *>())
            if (button->text() == u"Fit All"_s)
                fitAll = button;
        QVERIFY(fitAll);
        fitAll->click();
        QCOMPARE(view.cameraDistance(), 231'500.0);
        store.setRadiusNM(100);
        QCOMPARE(view.cameraDistance(), 926'000.0);
    }

    void viewAnimatesUnlessMotionIsReduced()
    {
        serve(R"({"ac":[{"hex":"a1","lat":45.6,"lon":-122.5,"dst":8}]})");
        Preferences preferences(m_dir->filePath(u"Skyvelle.conf"_s));
        QNetworkAccessManager network;
        FlightStore store(&preferences, &network, feedServices(), m_dir->filePath(u"data"_s));
        RadarMapView view(&store, &preferences, nullptr);
        view.resize(600, 400);
        view.show();
        store.setHome(HomeLocation { 45.5, -122.6, u"Portland"_s });
        QTRY_COMPARE(store.aircraft().size(), 1);

        // The camera flies to the selection over a moment.
        store.setSelectedHex(u"a1"_s);
        QVERIFY(view.isCameraMoving());
        QCOMPARE(view.targetCamera().centre, (LatLon { 45.6, -122.5 }));
        QTRY_VERIFY(!view.isCameraMoving());
        QCOMPARE(view.camera().centre, (LatLon { 45.6, -122.5 }));

        // A new answer moves the marker: it glides there over 0.8 s.
        serve(R"({"ac":[{"hex":"a1","lat":45.62,"lon":-122.48,"dst":8}]})");
        QSignalSpy applied(&store, &FlightStore::answerApplied);
        store.fetchNow();
        QVERIFY(applied.wait());
        QVERIFY(view.scene().drawnPositions.contains(u"a1"_s));
        QTRY_VERIFY(view.scene().drawnPositions.isEmpty());

        // With reduced motion the camera and the markers jump.
        preferences.setReduceMotion(true);
        serve(R"({"ac":[{"hex":"a1","lat":45.7,"lon":-122.4,"dst":8}]})");
        store.fetchNow();
        QVERIFY(applied.wait());
        QVERIFY(view.scene().drawnPositions.isEmpty());
        view.recenter();
        QVERIFY(!view.isCameraMoving());
        QCOMPARE(view.cameraDistance(), 231'500.0);
    }

    void markersForScreenReaders()
    {
        // Five aircraft well apart, one of them an emergency.
        serve(R"({"ac":[
                {"hex":"a1","flight":"ASA12 ","lat":45.55,"lon":-122.6,"alt_baro":3000,"dst":3},
                {"hex":"a2","flight":"UAL34","lat":45.5,"lon":-122.4,"alt_baro":12000,"dst":8},
                {"hex":"a3","flight":"QXE201","lat":45.35,"lon":-122.7,"alt_baro":8200,
                 "squawk":"7700","dst":10.4},
                {"hex":"a4","r":"N123AB","lat":45.7,"lon":-122.9,"alt_baro":20000,"dst":16},
                {"hex":"a5","lat":45.3,"lon":-122.3,"alt_baro":35000,"dst":20}]})");
        Preferences preferences(m_dir->filePath(u"Skyvelle.conf"_s));
        preferences.setReduceMotion(true);
        QNetworkAccessManager network;
        FlightStore store(&preferences, &network, feedServices(), m_dir->filePath(u"data"_s));
        RadarMapView view(&store, &preferences, nullptr);
        view.resize(800, 500);
        view.show();
        store.setHome(HomeLocation { 45.5, -122.6, u"Portland"_s });
        QTRY_COMPARE(store.displayedAircraft().size(), 5);

        QAccessibleInterface *map = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(map);
        const QList<Aircraft> shown = store.displayedAircraft();
        const Mercator::Viewport viewport(QRectF(view.rect()), view.camera());
        // The markers come first, in list order, then the controls over the map.
        int markers = 0;
        for (int i = 0; i < map->childCount(); ++i) {
            if (map->child(i)->role() == QAccessible::ListItem)
                ++markers;
        }
        QCOMPARE(markers, 5);
        for (int i = 0; i < 5; ++i) {
            QAccessibleInterface *marker = map->child(i);
            QCOMPARE(marker->role(), QAccessible::ListItem);
            QCOMPARE(marker->text(QAccessible::Name),
                RadarMapRenderer::accessibilityText(shown[i], preferences.distanceUnitText()));
            const QPoint centre =
                view.mapToGlobal(viewport.toScreen(*shown[i].coordinate()).toPoint());
            QVERIFY2(marker->rect().contains(centre), qPrintable(shown[i].hex));
            QCOMPARE(map->indexOfChild(marker), i);
            QCOMPARE(map->childAt(centre.x(), centre.y()), marker);
            QCOMPARE(marker->parent(), map);
            QVERIFY(!marker->state().selected);
        }
        QVERIFY(map->child(5)->object());
        QCOMPARE(map->indexOfChild(map->child(5)), 5);

        // Pressing a marker selects its aircraft; it then says so, the others do not.
        QAccessibleInterface *emergency =
            map->child(int(std::find_if(shown.cbegin(), shown.cend(), [](const Aircraft &a) {
                return a.isEmergency();
            }) - shown.cbegin()));
        QVERIFY(emergency->text(QAccessible::Name).startsWith(u"QXE201, 8,200 ft, "_s));
        QVERIFY(emergency->text(QAccessible::Name).endsWith(u", emergency"_s));
        QVERIFY(emergency->actionInterface());
        QVERIFY(emergency->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::pressAction()));
        emergency->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(store.selectedHex(), u"a3"_s);
        QVERIFY(emergency->state().selected);
        QCOMPARE(emergency->rect().size(), QSize(30, 30));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(map->child(i)->state().selected, map->child(i) == emergency);

        // A new answer without it: the children follow.
        serve(R"({"ac":[{"hex":"a1","lat":45.55,"lon":-122.6,"dst":3},
                                   {"hex":"a2","lat":45.5,"lon":-122.4,"dst":8}]})");
        QSignalSpy applied(&store, &FlightStore::answerApplied);
        store.fetchNow();
        QVERIFY(applied.wait());
        QCOMPARE(map->child(0)->role(), QAccessible::ListItem);
        QCOMPARE(map->child(1)->role(), QAccessible::ListItem);
        QVERIFY(map->child(2)->object());
        QVERIFY(!emergency->isValid());
    }

    void viewStyleMenuAndCorner()
    {
        QVariantMap overrides;
        overrides.insert(u"feedPrimary"_s, u"http://127.0.0.1:%1"_s.arg(TestServer::closedPort()));
        // A hand-edited style the map does not know shows the standard one.
        QSettings(m_dir->filePath(u"Skyvelle.conf"_s), QSettings::IniFormat)
            .setValue(u"mapStyleChoice"_s, u"terrain"_s);
        Preferences preferences(m_dir->filePath(u"Skyvelle.conf"_s));
        QNetworkAccessManager network;
        FlightStore store(
            &preferences, &network, Services::withOverrides(overrides), m_dir->filePath(u"data"_s));
        RadarMapView view(&store, &preferences, nullptr);
        view.resize(700, 500);
        view.show();

        QToolButton *styleButton = nullptr;
        for (QToolButton *button : view.findChildren<QToolButton *>())
            if (button->menu())
                styleButton = button;
        QVERIFY(styleButton);
        QCOMPARE(styleButton->text(), u"Standard"_s);
        QVERIFY(styleButton->menu()->actions().at(0)->isChecked());
        QStringList names;
        for (QAction *action : styleButton->menu()->actions())
            names << action->text();
        QCOMPARE(names, (QStringList { u"Standard"_s, u"Muted"_s, u"Satellite"_s, u"Hybrid"_s }));
        styleButton->menu()->actions().at(2)->trigger();
        QCOMPARE(preferences.mapStyleChoice(), Preferences::MapStyle::Imagery);
        QCOMPARE(styleButton->text(), u"Satellite"_s);
        preferences.setMapStyleChoice(Preferences::MapStyle::Hybrid);
        QCOMPARE(styleButton->text(), u"Hybrid"_s);
        QVERIFY(styleButton->menu()->actions().at(3)->isChecked());

        // The corner widget floats 12 in from the bottom-right corner, and follows resizes.
        auto *card = new QWidget;
        card->setFixedSize(220, 130);
        view.setCornerWidget(card);
        QCOMPARE(card->parentWidget(), &view);
        QCOMPARE(card->geometry(), QRect(700 - 12 - 220, 500 - 12 - 130, 220, 130));
        view.resize(900, 600);
        QCOMPARE(card->geometry(), QRect(900 - 12 - 220, 600 - 12 - 130, 220, 130));
        // The attribution keeps clear of it.
        QCOMPARE(view.settings().attributionRightMargin, 220.0 + 24.0);
    }
};

QTEST_MAIN(TestMapView)
#include "tst_mapview.moc"
