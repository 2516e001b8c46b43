// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftcolors.h"
#include "map/mercator.h"
#include "map/radarmap.h"
#include "map/radarmaprenderer.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QRectF mapRect(0, 0, 600, 400);
const HomeLocation portland { 45.5, -122.6, u"Portland"_s };

enum class Motion { Animated, Reduced, Hidden };

Aircraft plane(const QString &hex, const LatLon &position)
{
    Aircraft aircraft;
    aircraft.hex = hex;
    aircraft.lat = position.latitude;
    aircraft.lon = position.longitude;
    return aircraft;
}

std::unique_ptr<RadarMap> makeMap(Motion motion)
{
    auto map = std::make_unique<RadarMap>();
    map->setRect(mapRect);
    map->setShown(motion != Motion::Hidden);
    RadarMapSettings settings;
    settings.reduceMotion = motion == Motion::Reduced;
    map->setSettings(settings);
    map->setHome(portland);
    map->setRadiusNM(25);
    return map;
}

QImage renderMap(RadarMap &map)
{
    QImage image(mapRect.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    map.render(&painter, mapRect);
    return image;
}

// Degrees east from @p from to @p to the short way round.
double eastward(double from, double to)
{
    return std::remainder(to - from, 360.0);
}

} // namespace

// The map without a widget: camera moves, glides, the halo's repaints and the hit test.
class TestRadarMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cameraMoves_data()
    {
        QTest::addColumn<QString>("move");
        QTest::addColumn<int>("motion");
        QTest::addColumn<LatLon>("centre");
        QTest::addColumn<double>("distance");
        // From 40° N 100° W at 1,000 km.
        const LatLon home { portland.latitude, portland.longitude };
        const struct {
            const char *move;
            LatLon centre;
            double distance;
        } moves[] = {
            { "fit all", home, 231'500.0 },
            { "home", home, 1'000'000.0 },
            { "focus", { 45.6, -122.5 }, 600'000.0 },
            { "zoom in", { 40.0, -100.0 }, 500'000.0 },
        };
        const struct {
            const char *name;
            Motion motion;
        } motions[] = { { "animated", Motion::Animated }, { "reduced motion", Motion::Reduced },
            { "hidden", Motion::Hidden } };
        for (const auto &move : moves) {
            for (const auto &motion : motions) {
                QTest::addRow("%s, %s", move.move, motion.name)
                    << QString::fromLatin1(move.move) << int(motion.motion) << move.centre
                    << move.distance;
            }
        }
    }

    void cameraMoves()
    {
        QFETCH(QString, move);
        QFETCH(int, motion);
        QFETCH(LatLon, centre);
        QFETCH(double, distance);
        auto map = makeMap(Motion(motion));
        const Mercator::Camera start { { 40.0, -100.0 }, 1'000'000.0 };
        map->setCamera(start);

        QList<double> distances;
        connect(map.get(), &RadarMap::cameraChanged, map.get(),
            [&] { distances << map->camera().distanceMetres; });
        QSignalSpy updated(map.get(), &RadarMap::updated);
        if (move == u"fit all"_s)
            map->recenter();
        else if (move == u"home"_s)
            map->centerOnHome();
        else if (move == u"focus"_s)
            map->focusOn({ 45.6, -122.5 });
        else
            map->zoomBy(1.0, mapRect.center(), 250);

        const auto arrived = [&](const Mercator::Camera &camera) {
            return std::abs(camera.centre.latitude - centre.latitude) < 1e-9
                && std::abs(camera.centre.longitude - centre.longitude) < 1e-9
                && std::abs(camera.distanceMetres - distance) < distance * 1e-9;
        };
        if (Motion(motion) == Motion::Animated) {
            QVERIFY(map->isCameraMoving());
            QVERIFY(arrived(map->targetCamera()));
            QVERIFY(!arrived(map->camera()));
            QTRY_VERIFY(!map->isCameraMoving());
            // Frames in between, every one between the two distances.
            QVERIFY2(distances.size() > 2, qPrintable(QString::number(distances.size())));
            const double nearest = std::min(distance, start.distanceMetres) - 1e-6;
            const double farthest = std::max(distance, start.distanceMetres) + 1e-6;
            for (const double d : std::as_const(distances))
                QVERIFY(d >= nearest && d <= farthest);
        } else {
            QVERIFY(!map->isCameraMoving());
            QCOMPARE(distances.size(), 1);
        }
        QVERIFY(arrived(map->camera()));
        // A camera move repaints everything.
        QVERIFY(!updated.isEmpty());
        QCOMPARE(updated.last().at(0).toRectF(), mapRect);
    }

    void haloRepaintsOnlyItsNeighbourhood()
    {
        auto map = makeMap(Motion::Animated);
        map->setCamera({ { portland.latitude, portland.longitude }, 50'000 });
        const LatLon position { 45.52, -122.62 };
        map->setAircraft({ plane(u"a1"_s, position) });
        map->setSelectedHex(u"a1"_s);

        QSignalSpy updated(map.get(), &RadarMap::updated);
        QVERIFY(updated.wait());
        const QRectF halo = updated.last().at(0).toRectF();
        const QPointF centre = Mercator::Viewport(mapRect, map->camera()).toScreen(position);
        QCOMPARE(halo.center(), centre);
        QVERIFY(halo.width() < mapRect.width() / 2);

        // Between two moments of the pulse, nothing outside that rectangle changes.
        const QImage before = renderMap(*map);
        QTest::qWait(300);
        const QImage after = renderMap(*map);
        QRect changed;
        for (int y = 0; y < before.height(); ++y) {
            for (int x = 0; x < before.width(); ++x) {
                if (before.pixel(x, y) != after.pixel(x, y))
                    changed |= QRect(x, y, 1, 1);
            }
        }
        QVERIFY(!changed.isEmpty());
        QVERIFY(halo.contains(QRectF(changed)));

        // A still halo needs no clock.
        RadarMapSettings still = map->settings();
        still.reduceMotion = true;
        map->setSettings(still);
        updated.clear();
        QVERIFY(!updated.wait(200));
    }

    void glide_data()
    {
        QTest::addColumn<int>("motion");
        QTest::addColumn<LatLon>("from");
        QTest::addColumn<LatLon>("to");
        const LatLon from { 45.0, -122.0 };
        const LatLon to { 46.0, -121.0 };
        QTest::newRow("animated") << int(Motion::Animated) << from << to;
        QTest::newRow("across the antimeridian")
            << int(Motion::Animated) << LatLon { 10.0, 179.5 } << LatLon { 11.0, -179.5 };
        QTest::newRow("reduced motion") << int(Motion::Reduced) << from << to;
        QTest::newRow("hidden") << int(Motion::Hidden) << from << to;
    }

    void glide()
    {
        QFETCH(int, motion);
        QFETCH(LatLon, from);
        QFETCH(LatLon, to);
        auto map = makeMap(Motion(motion));
        const LatLon still { 45.3, -122.3 };
        map->setAircraft({ plane(u"a1"_s, from), plane(u"a2"_s, still) });
        map->setAircraft({ plane(u"a1"_s, to), plane(u"a2"_s, still), plane(u"a3"_s, still) });
        if (Motion(motion) != Motion::Animated) {
            QVERIFY(map->scene().drawnPositions.isEmpty());
            return;
        }
        // Only the marker that moved glides, along the short way between the answers.
        QCOMPARE(map->scene().drawnPositions.keys(), QList<QString> { u"a1"_s });
        const double span = eastward(from.longitude, to.longitude);
        const auto along = [&](const LatLon &p) {
            return eastward(from.longitude, p.longitude) / span;
        };
        QTRY_VERIFY(along(map->scene().drawnPositions.value(u"a1"_s)) > 0.3);
        const LatLon midway = map->scene().drawnPositions.value(u"a1"_s);
        QVERIFY(along(midway) < 1.0);
        QVERIFY(std::abs((midway.latitude - from.latitude) / (to.latitude - from.latitude)
                    - along(midway))
            < 1e-9);

        // A new answer mid-glide starts from where the marker stands, and takes 0.8 s.
        QElapsedTimer clock;
        clock.start();
        map->setAircraft({ plane(u"a1"_s, from) });
        const double restart = along(map->scene().drawnPositions.value(u"a1"_s));
        QVERIFY(restart > 0.3 && restart < 1.0);
        QTRY_VERIFY(map->scene().drawnPositions.isEmpty());
        QVERIFY2(clock.elapsed() >= 790, qPrintable(QString::number(clock.elapsed())));
    }

    void markerAtFollowsPaintOrder_data()
    {
        QTest::addColumn<QPointF>("first");
        QTest::addColumn<QPointF>("second");
        QTest::addColumn<bool>("emergency");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QPointF>("probe");
        QTest::addColumn<QString>("expected");
        // Two markers 12 points apart; the probe lies on both discs, clear of the glyphs.
        QTest::newRow("lower in front, listed first")
            << QPointF(300, 212) << QPointF(300, 200) << false << QString() << QPointF(306, 206)
            << u"a1"_s;
        QTest::newRow("lower in front, listed last")
            << QPointF(300, 200) << QPointF(300, 212) << false << QString() << QPointF(306, 206)
            << u"a2"_s;
        QTest::newRow("same row: the later in the list in front")
            << QPointF(294, 200) << QPointF(306, 200) << false << QString() << QPointF(300, 206)
            << u"a2"_s;
        QTest::newRow("an emergency in front of a lower one")
            << QPointF(300, 200) << QPointF(300, 212) << true << QString() << QPointF(306, 206)
            << u"a1"_s;
        QTest::newRow("an emergency in front along a row")
            << QPointF(306, 200) << QPointF(294, 200) << true << QString() << QPointF(300, 206)
            << u"a1"_s;
        QTest::newRow("the selected one in front of a lower one")
            << QPointF(300, 200) << QPointF(300, 212) << false << u"a1"_s << QPointF(306, 206)
            << u"a1"_s;
        QTest::newRow("the selected one in front of an emergency")
            << QPointF(300, 212) << QPointF(300, 200) << true << u"a2"_s << QPointF(306, 206)
            << u"a2"_s;
        QTest::newRow("beside both") << QPointF(300, 200) << QPointF(300, 212) << false << QString()
                                     << QPointF(340, 206) << QString();
    }

    void markerAtFollowsPaintOrder()
    {
        QFETCH(QPointF, first);
        QFETCH(QPointF, second);
        QFETCH(bool, emergency);
        QFETCH(QString, selected);
        QFETCH(QPointF, probe);
        QFETCH(QString, expected);
        auto map = makeMap(Motion::Reduced);
        map->setCamera({ { portland.latitude, portland.longitude }, 50'000 });
        const Mercator::Viewport viewport(mapRect, map->camera());
        // The first in red (an emergency) or green (military), the second in orange, so the
        // picture tells them apart.
        Aircraft a1 = plane(u"a1"_s, viewport.toCoordinate(first));
        if (emergency)
            a1.squawk = u"7700"_s;
        else
            a1.dbFlags = 1;
        const Aircraft a2 = plane(u"a2"_s, viewport.toCoordinate(second));
        map->setAircraft({ a1, a2 });
        map->setSelectedHex(selected);

        QCOMPARE(map->markerAt(probe), expected);
        if (expected.isEmpty())
            return;
        // What is clicked is what is seen there.
        const QColor plane = AircraftColors::planeColor(map->settings().planeColorHex);
        const auto fill = [&](const Aircraft &aircraft) {
            return AircraftColors::fill(aircraft, false, plane);
        };
        const QColor seen = renderMap(*map).pixelColor(probe.toPoint());
        const auto distance = [&](const QColor &c) {
            return std::abs(c.red() - seen.red()) + std::abs(c.green() - seen.green())
                + std::abs(c.blue() - seen.blue());
        };
        const QColor front = fill(expected == u"a1"_s ? a1 : a2);
        const QColor behind = fill(expected == u"a1"_s ? a2 : a1);
        QVERIFY2(
            distance(front) < 24 && distance(front) < distance(behind), qPrintable(seen.name()));
    }
};

QTEST_MAIN(TestRadarMap)
#include "tst_radarmap.moc"
