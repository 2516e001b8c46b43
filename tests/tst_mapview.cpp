// SPDX-License-Identifier: GPL-3.0-or-later
#include "flightstore.h"
#include "mainwindow.h"
#include "map/mercator.h"
#include "map/radarmaprenderer.h"
#include "map/radarmapview.h"
#include "preferences.h"
#include "testserver.h"
#include "views/aircraftdetailcard.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray toJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// An aircraft that fills every row of the card.
QJsonObject fullAircraft(const QString &hex, double lat, double lon)
{
    return QJsonObject { { u"hex"_s, hex }, { u"flight"_s, u"UAL123"_s }, { u"r"_s, u"N12345"_s },
        { u"t"_s, u"B738"_s }, { u"ownOp"_s, u"UNITED AIRLINES"_s }, { u"alt_baro"_s, 35000 },
        { u"gs"_s, 451.6 }, { u"track"_s, 359.6 }, { u"baro_rate"_s, -1280 },
        { u"squawk"_s, u"1200"_s }, { u"lat"_s, lat }, { u"lon"_s, lon }, { u"dst"_s, 2.78 },
        { u"dir"_s, 315 } };
}

QByteArray feedAnswer(const QList<QJsonObject> &aircraft)
{
    QJsonArray list;
    for (const QJsonObject &one : aircraft)
        list.append(one);
    return toJson(QJsonObject { { u"ac"_s, list } });
}

// The largest difference of any colour channel between @p a and @p b within @p area.
int strongestDifference(const QImage &a, const QImage &b, const QRect &area)
{
    int strongest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            strongest = std::max({ strongest, qAbs(p.red() - q.red()), qAbs(p.green() - q.green()),
                qAbs(p.blue() - q.blue()) });
        }
    }
    return strongest;
}

QRect inParent(const QWidget *widget, const QWidget *ancestor)
{
    return QRect(widget->mapTo(ancestor, QPoint()), widget->size());
}

} // namespace

// The map pane as a user drives it: clicks select, the camera follows, the style menu.
class TestMapView : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestServer> m_server;
    QNetworkAccessManager m_network;

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
        for (const char *key : { "feedPrimary", "feedSecondary", "routes", "photos" })
            overrides.insert(QString::fromLatin1(key), m_server->baseUrl().toString());
        return Services::withOverrides(overrides);
    }

    // The smallest main window at 140 % text, its map showing the card of a full aircraft
    // with its route and a photo.
    struct SmallWindow {
        std::unique_ptr<Preferences> preferences;
        std::unique_ptr<FlightStore> store;
        std::unique_ptr<MainWindow> window;
        RadarMapView *map = nullptr;
        AircraftDetailCard *card = nullptr;
    };

    void openSmallWindow(SmallWindow &small, Preferences::MapStyle style)
    {
        serve(feedAnswer({ fullAircraft(u"a1"_s, 45.6, -122.5) }));
        TestServer::Reply route;
        route.body = toJson(QJsonObject { { u"response"_s,
            QJsonObject { { u"flightroute"_s,
                QJsonObject { { u"origin"_s, QJsonObject { { u"iata_code"_s, u"SFO"_s } } },
                    { u"destination"_s, QJsonObject { { u"iata_code"_s, u"SEA"_s } } } } } } } });
        m_server->setReply(u"/v0/callsign/UAL123"_s, route);
        TestServer::Reply photo;
        photo.body = toJson(QJsonObject { { u"photos"_s,
            QJsonArray { QJsonObject {
                { u"thumbnail_large"_s,
                    QJsonObject { { u"src"_s, m_server->url(u"/img/none.png"_s).toString() } } },
                { u"link"_s, u"https://www.example/photo/1"_s },
                { u"photographer"_s, u"Jane Doe"_s } } } } });
        m_server->setReply(u"/pub/photos/hex/a1"_s, photo);

        small.preferences = std::make_unique<Preferences>(m_dir->filePath(u"Skyvelle.conf"_s));
        small.preferences->setReduceMotion(true);
        small.preferences->setTextScale(1.4);
        small.preferences->setMapStyleChoice(style);
        small.store = std::make_unique<FlightStore>(
            small.preferences.get(), &m_network, feedServices(), m_dir->filePath(u"data"_s));
        small.store->setHome(HomeLocation { 45.5, -122.6, u"Portland"_s });
        small.window = std::make_unique<MainWindow>(
            small.store.get(), small.preferences.get(), nullptr, nullptr);
        small.map = new RadarMapView(small.store.get(), small.preferences.get(), nullptr);
        small.card = new AircraftDetailCard(small.store.get(), small.preferences.get(), &m_network);
        small.map->setCornerWidget(small.card);
        small.window->setMapView(small.map);
        small.window->resize(900, 560);
        small.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(small.window.get()));
        QCOMPARE(small.window->size(), QSize(900, 560));
        QTRY_COMPARE(small.store->aircraft().size(), 1);
        small.store->setSelectedHex(u"a1"_s);
        QTRY_VERIFY(small.store->routes().contains(u"UAL123"_s));
        QTRY_VERIFY(small.store->photos().contains(u"a1"_s));
        QTRY_VERIFY(small.card->isVisible());
    }

    // The floating controls in map coordinates, named for the failure messages.
    static QList<std::pair<QString, QRect>> controls(const RadarMapView *map)
    {
        QList<std::pair<QString, QRect>> found;
        for (const QToolButton *button : map->findChildren<QToolButton *>()) {
            if (button->isVisible()
                && button->parentWidget() != map->findChild<AircraftDetailCard *>()
                && !button->accessibleName().contains(u"Close"_s))
                found.append({ button->accessibleName().isEmpty() ? button->text()
                                                                  : button->accessibleName(),
                    inParent(button, map) });
        }
        return found;
    }

private Q_SLOTS:
    void smallWindowLargeText_data();
    void smallWindowLargeText();
    void styleMenuOpensWhereItFits();
    void cardHidesWhatLiesBehind();

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

    void haloRepaintsOnlyItsRectangle()
    {
        serve(R"({"ac":[{"hex":"a1","lat":45.6,"lon":-122.5,"dst":8},
                                   {"hex":"a2","lat":45.3,"lon":-122.9,"dst":15}]})");
        Preferences preferences(m_dir->filePath(u"Skyvelle.conf"_s));
        QNetworkAccessManager network;
        FlightStore store(&preferences, &network, feedServices(), m_dir->filePath(u"data"_s));
        RadarMapView view(&store, &preferences, nullptr);
        view.resize(800, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        store.setHome(HomeLocation { 45.5, -122.6, u"Portland"_s });
        QTRY_COMPARE(store.aircraft().size(), 2);
        // At rest with nothing selected, no clock runs.
        QTRY_VERIFY(!view.isAnimating());

        store.setSelectedHex(u"a1"_s);
        QTRY_VERIFY(!view.isCameraMoving());
        QVERIFY(view.isAnimating());
        struct PaintSpy : QObject {
            QList<QRect> painted;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    painted << static_cast<QPaintEvent *>(event)->region().boundingRect();
                return false;
            }
        } spy;
        QTest::qWait(100);
        view.installEventFilter(&spy);
        QTest::qWait(400);
        view.removeEventFilter(&spy);
        // The pulse repaints, and each time only the halo's rectangle round the marker.
        QVERIFY2(spy.painted.size() >= 5, qPrintable(QString::number(spy.painted.size())));
        const QPoint marker = view.markerRect(u"a1"_s).center().toPoint();
        for (const QRect &painted : std::as_const(spy.painted)) {
            QVERIFY2(painted.width() <= 100 && painted.height() <= 100,
                qPrintable(u"%1×%2"_s.arg(painted.width()).arg(painted.height())));
            QVERIFY(painted.contains(marker));
        }

        // Without a selection the clock stops again.
        store.setSelectedHex({});
        QVERIFY(!view.isAnimating());
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

void TestMapView::smallWindowLargeText_data()
{
    QTest::addColumn<Preferences::MapStyle>("style");
    QTest::newRow("standard") << Preferences::MapStyle::Standard;
    QTest::newRow("hybrid") << Preferences::MapStyle::Hybrid;
}

void TestMapView::smallWindowLargeText()
{
    QFETCH(Preferences::MapStyle, style);
    SmallWindow small;
    openSmallWindow(small, style);
    RadarMapView *map = small.map;
    const QRect card = small.card->geometry();
    QVERIFY(map->rect().contains(card));

    // Zoom stepper, compass and capsules stay clear of the card, and of each other.
    const auto shown = controls(map);
    QCOMPARE(shown.size(), 6);
    for (const auto &[name, rect] : shown) {
        QVERIFY2(map->rect().contains(rect), qPrintable(name));
        QVERIFY2(!rect.intersects(card), qPrintable(name));
        for (const auto &[other, otherRect] : shown)
            QVERIFY2(other == name || !rect.intersects(otherRect), qPrintable(name + u' ' + other));
    }
    // The capsules that lost their titles still say them to screen readers.
    QToolButton *fitAll = nullptr;
    for (QToolButton *button : map->findChildren<QToolButton *>())
        if (button->text() == u"Fit All"_s)
            fitAll = button;
    QVERIFY(fitAll);
    QCOMPARE(QAccessible::queryAccessibleInterface(fitAll)->text(QAccessible::Name), u"Fit All"_s);

    // A card taller than the map scrolls, so its last row can still be reached.
    const auto *body = small.card->findChild<QScrollArea *>(u"body"_s);
    QVERIFY(body);
    if (small.card->sizeHint().height() > card.height())
        QVERIFY(body->verticalScrollBar()->maximum() > 0);

    // The attribution: one line, clear of the capsules and the card, whole in its tooltip.
    const auto attribution = RadarMapRenderer::attributionLine(
        QRectF(map->rect()), map->settings().mapStyleChoice, map->settings());
    const QRect box = attribution.box.toAlignedRect();
    QVERIFY(map->rect().contains(box));
    QVERIFY(!box.intersects(card));
    for (const auto &[name, rect] : shown)
        QVERIFY2(!rect.intersects(box), qPrintable(name));
    QVERIFY(box.height() < 2 * QFontMetrics(RadarMapRenderer::labelFont()).height());
    const QString full = RadarMapRenderer::attribution(map->settings().mapStyleChoice);
    QCOMPARE(attribution.shown == full, style == Preferences::MapStyle::Standard);
    QHelpEvent help(QEvent::ToolTip, box.center(), map->mapToGlobal(box.center()));
    QApplication::sendEvent(map, &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY2(
        QToolTip::text().contains(full.left(20).toHtmlEscaped()), qPrintable(QToolTip::text()));
    QToolTip::hideText();

    if (const QString dir = qEnvironmentVariable("SKYVELLE_RENDER_DIR"); !dir.isEmpty())
        small.window->grab().save(QDir(dir).filePath(
            u"small-window-%1.png"_s.arg(QLatin1StringView(QTest::currentDataTag()))));
}

void TestMapView::styleMenuOpensWhereItFits()
{
    SmallWindow small;
    openSmallWindow(small, Preferences::MapStyle::Standard);
    QToolButton *styleButton = nullptr;
    for (QToolButton *button : small.map->findChildren<QToolButton *>())
        if (button->menu())
            styleButton = button;
    QVERIFY(styleButton);
    QMenu *menu = styleButton->menu();
    const QRect available = styleButton->screen()->availableGeometry();
    QRect opened;
    QTimer::singleShot(0, menu, [&] {
        QTRY_VERIFY(menu->isVisible());
        opened = menu->geometry();
        menu->close();
    });
    styleButton->showMenu();
    QVERIFY(opened.isValid());
    QVERIFY2(available.contains(opened),
        qPrintable(u"%1,%2 %3x%4"_s.arg(opened.x())
                       .arg(opened.y())
                       .arg(opened.width())
                       .arg(opened.height())));
    QVERIFY(!opened.intersects(QRect(styleButton->mapToGlobal(QPoint()), styleButton->size())));
}

void TestMapView::cardHidesWhatLiesBehind()
{
    SmallWindow small;
    openSmallWindow(small, Preferences::MapStyle::Standard);
    RadarMapView *map = small.map;
    const QRect card = small.card->cardRect().translated(small.card->pos());
    // The card's photo is still on its way: compare against the settled picture.
    QImage without;
    QTRY_VERIFY([&] {
        const QImage now = map->grab().toImage();
        return std::exchange(without, now) == now;
    }());
    const QImage mapWithout = map->behind(card);

    // A second aircraft right behind the middle of the card.
    const LatLon behind =
        Mercator::Viewport(QRectF(map->rect()), map->camera()).toCoordinate(QPointF(card.center()));
    serve(feedAnswer({ fullAircraft(u"a1"_s, 45.6, -122.5),
        QJsonObject { { u"hex"_s, u"b2"_s }, { u"flight"_s, u"WWWWWW"_s },
            { u"lat"_s, behind.latitude }, { u"lon"_s, behind.longitude }, { u"dst"_s, 5 } } }));
    QSignalSpy applied(small.store.get(), &FlightStore::answerApplied);
    small.store->fetchNow();
    QVERIFY(applied.wait());
    const QRect marker = map->markerRect(u"b2"_s).toAlignedRect();
    QVERIFY(card.contains(marker));
    QCOMPARE(small.store->selectedHex(), u"a1"_s);

    const QImage with = map->grab().toImage();
    // The map itself shows the marker plainly …
    const QImage mapWith = map->behind(card);
    QCOMPARE(mapWith.size(), mapWithout.size());
    QVERIFY2(strongestDifference(mapWith, mapWithout, mapWith.rect()) > 150,
        qPrintable(QString::number(strongestDifference(mapWith, mapWithout, mapWith.rect()))));

    // … and through the card it is at most a faint, soft tint.
    const qreal ratio = with.devicePixelRatio();
    // Inside the rounded corners.
    const QRect inside = QRectF(QRectF(card.adjusted(12, 12, -12, -12)).topLeft() * ratio,
        QRectF(card.adjusted(12, 12, -12, -12)).size() * ratio)
                             .toAlignedRect();
    const int through = strongestDifference(with, without, inside);
    QVERIFY2(through <= 8, qPrintable(QString::number(through)));
}

QTEST_MAIN(TestMapView)
#include "tst_mapview.moc"
