// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftcolors.h"
#include "map/mercator.h"
#include "map/radarmap.h"
#include "map/radarmaprenderer.h"
#include "map/spritecanvas.h"

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

    void nothingRunsAtRest()
    {
        auto map = makeMap(Motion::Animated);
        const LatLon a { 45.52, -122.62 };
        const LatLon b { 45.40, -122.50 };
        map->setAircraft({ plane(u"a1"_s, a), plane(u"a2"_s, b) });
        QVERIFY(!map->isAnimating());
        // A glide runs its 0.8 s and stops.
        map->setAircraft({ plane(u"a1"_s, { 45.53, -122.61 }), plane(u"a2"_s, b) });
        QVERIFY(map->isAnimating());
        QTRY_VERIFY(!map->isAnimating());
        // The halo pulses while a selection is shown, and only then.
        map->setSelectedHex(u"a1"_s);
        QVERIFY(map->isAnimating());
        map->setShown(false);
        QVERIFY(!map->isAnimating());
        map->setShown(true);
        QVERIFY(map->isAnimating());
        map->setSelectedHex({});
        QVERIFY(!map->isAnimating());
        QSignalSpy updated(map.get(), &RadarMap::updated);
        QVERIFY(!updated.wait(300));
    }

    void glidePaintsOnlyWhatMoves()
    {
        auto map = makeMap(Motion::Animated);
        const LatLon a { 45.52, -122.62 };
        map->setAircraft({ plane(u"a1"_s, a) });
        // Some 15 m: less than a point at this distance, so a step or two, not a frame each
        // tick of the animation clock.
        map->setAircraft({ plane(u"a1"_s, { a.latitude + 0.0001, a.longitude + 0.0001 }) });
        QSignalSpy updated(map.get(), &RadarMap::updated);
        QTRY_VERIFY(!map->isAnimating());
        QVERIFY2(updated.size() <= 3, qPrintable(QString::number(updated.size())));
        // A long move glides smoothly.
        map->setAircraft({ plane(u"a1"_s, { a.latitude + 0.1, a.longitude + 0.1 }) });
        updated.clear();
        QTRY_VERIFY(!map->isAnimating());
        QVERIFY2(updated.size() >= 20, qPrintable(QString::number(updated.size())));
    }

    // The canvas draws trails and markers itself; what it draws must match what a painter
    // draws, in the middle of the canvas and where a line or a picture leaves it.
    void canvasDrawsAsAPainterDoes()
    {
        const QSize size(64, 48);
        const QRgb ink = qRgba(30, 140, 230, 170);
        const QPointF line[] = { { -3.2, 5.6 }, { 20.3, 9.1 }, { 31.7, 30.4 }, { 70.0, 44.9 } };
        SpriteCanvas canvas;
        canvas.reset(size, 1.0);
        canvas.strokePolyline(line, 4, 2.0, ink);
        QImage expected(size, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        {
            QPainter painter(&expected);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(
                QPen(QColor::fromRgba(ink), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPolyline(line, 4);
        }
        // Coverage is worked out differently, so edges may differ by a little; the body of
        // the line, its ends and its width may not.
        double drawn = 0;
        double painted = 0;
        int far = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const int a = qAlpha(canvas.image().pixel(x, y));
                const int b = qAlpha(expected.pixel(x, y));
                drawn += a;
                painted += b;
                far += std::abs(a - b) > 60;
            }
        }
        QVERIFY2(std::abs(drawn - painted) < 0.1 * painted,
            qPrintable(u"%1 against %2"_s.arg(drawn).arg(painted)));
        QVERIFY2(far <= 4, qPrintable(QString::number(far)));
        QCOMPARE(canvas.dirty(), QRect(QPoint(0, 4), QPoint(63, 44)));

        // A sprite half off each edge keeps what is on the canvas, blended over the line.
        QImage picture(10, 10, QImage::Format_ARGB32_Premultiplied);
        picture.fill(qRgba(100, 0, 0, 128));
        const SpriteCanvas::Sprite sprite(picture);
        const QPoint places[] = { { -5, 20 }, { 59, 1 }, { 25, 43 }, { 10, 7 } };
        QRegion covered;
        for (const QPoint &at : places) {
            canvas.drawSprite(sprite, at);
            QPainter(&expected).drawImage(at, picture);
            covered += QRect(at, picture.size());
        }
        // Drawn in bands of rows, as on several threads, the picture is the same.
        SpriteCanvas banded;
        banded.reset(size, 1.0);
        for (const auto &[top, bottom] : { std::pair(0, 21), std::pair(21, 48) }) {
            SpriteCanvas band;
            band.viewBand(banded, top, bottom);
            band.strokePolyline(line, 4, 2.0, ink);
            for (const QPoint &at : places)
                band.drawSprite(sprite, at);
            banded.include(band);
        }
        QCOMPARE(banded.image(), canvas.image());
        QCOMPARE(banded.dirty(), canvas.dirty());
        // Laid band by band over a picture that reached further down, a line is copied whole
        // and the rest cleared.
        SpriteCanvas lineOnly;
        lineOnly.reset(size, 1.0);
        lineOnly.strokePolyline(line, 4, 2.0, ink);
        SpriteCanvas copy;
        copy.reset(size, 1.0);
        copy.drawSprite(sprite, { 30, 40 });
        const SpriteCanvas::Start start = copy.restartFrom(lineOnly);
        for (const auto &[top, bottom] : { std::pair(0, 30), std::pair(30, 48) }) {
            SpriteCanvas band;
            band.viewBand(copy, top, bottom);
            band.prepare(start);
            copy.include(band);
        }
        QCOMPARE(copy.image(), lineOnly.image());
        QCOMPARE(copy.dirty(), lineOnly.dirty());
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                if (!covered.contains(QPoint(x, y)))
                    continue;
                const QRgb a = canvas.image().pixel(x, y);
                const QRgb b = expected.pixel(x, y);
                QVERIFY2(std::abs(qAlpha(a) - qAlpha(b)) <= 70 && std::abs(qRed(a) - qRed(b)) <= 70,
                    qPrintable(u"at %1,%2"_s.arg(x).arg(y)));
            }
        }
    }

    void keptLayersPaintWhatAFreshRendererPaints_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<int>("style");
        QTest::newRow("light") << 1.0 << false << int(MapStyle::Standard);
        QTest::newRow("dark, at 2x") << 2.0 << true << int(MapStyle::Standard);
        QTest::newRow("hybrid") << 1.0 << false << int(MapStyle::Hybrid);
        QTest::newRow("hybrid, dark, at 2x") << 2.0 << true << int(MapStyle::Hybrid);
    }

    void keptLayersPaintWhatAFreshRendererPaints()
    {
        QFETCH(double, ratio);
        QFETCH(bool, dark);
        QFETCH(int, style);
        QPalette palette;
        palette.setColor(QPalette::Base, dark ? QColor(30, 32, 36) : QColor(236, 234, 229));
        palette.setColor(QPalette::Text, dark ? QColor(220, 220, 220) : QColor(60, 60, 60));
        palette.setColor(QPalette::Window, dark ? QColor(44, 46, 50) : QColor(246, 246, 246));
        palette.setColor(QPalette::WindowText, dark ? QColor(236, 236, 236) : QColor(20, 20, 20));
        RadarMapSettings settings;
        settings.palette = palette;
        settings.mapStyleChoice = MapStyle(style);
        settings.differentiateWithoutColor = true;

        // Three hundred aircraft with trails, some in an emergency, one selected.
        const auto sky = [](double drift) {
            RadarMapScene scene;
            scene.home = portland;
            scene.radiusNM = 25;
            for (int i = 0; i < 300; ++i) {
                const double bearing = i * 137.5;
                const LatLon at = Mercator::destination(
                    { portland.latitude, portland.longitude }, bearing, 300.0 * (i % 90) + drift);
                Aircraft aircraft = plane(u"%1"_s.arg(0xa00000 + i, 6, 16), at);
                aircraft.track = std::fmod(bearing + 90.0, 360.0);
                aircraft.altBaro = Altitude::feet(1000 + 130 * i);
                aircraft.flight = u"TST%1"_s.arg(i);
                if (i % 37 == 0)
                    aircraft.squawk = u"7700"_s;
                scene.aircraft << aircraft;
                QList<LatLon> trail;
                for (int k = 11; k >= 0; --k)
                    trail << Mercator::destination(at, bearing - 90.0, 400.0 * k);
                scene.trails.insert(aircraft.hex, trail);
            }
            return scene;
        };
        const QRectF rect(0, 0, 500, 360);
        const Mercator::Camera camera { { portland.latitude, portland.longitude }, 90'000 };
        const auto canvas = [&] {
            QImage image((rect.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::magenta);
            return image;
        };
        const auto paint = [&](RadarMapRenderer &renderer, QImage &image,
                               const Mercator::Camera &at, const RadarMapScene &scene,
                               const QRectF &exposed = {}) {
            QPainter painter(&image);
            if (exposed.isValid())
                painter.setClipRect(exposed);
            renderer.render(&painter, rect, at, scene, settings, exposed);
        };

        // A renderer that keeps its layers through answers, a glide, a camera move and the
        // halo's pulse, painting only the halo's rectangle where only the halo changed…
        RadarMapRenderer kept;
        QImage screen = canvas();
        RadarMapScene scene = sky(0.0);
        paint(kept, screen, camera, scene);
        scene = sky(250.0);
        scene.selectedHex = scene.aircraft.at(40).hex;
        const RadarMapScene before = sky(0.0);
        for (int i = 0; i < scene.aircraft.size(); i += 3)
            scene.drawnPositions.insert(
                scene.aircraft.at(i).hex, *before.aircraft.at(i).coordinate());
        scene.haloPhase = 0.1;
        paint(kept, screen, camera, scene);
        paint(kept, screen, { { 45.6, -122.5 }, 120'000 }, scene);
        paint(kept, screen, camera, scene);
        scene.drawnPositions.clear();
        paint(kept, screen, camera, scene);
        const QPointF centre =
            Mercator::Viewport(rect, camera).toScreen(*scene.aircraft.at(40).coordinate());
        const double reach = RadarMapRenderer::discDiameter(1.0, true) * 1.4 + 2.0;
        const QRectF halo =
            QRectF(centre - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)).toAlignedRect();
        for (const double phase : { 0.3, 0.55, 0.8 }) {
            scene.haloPhase = phase;
            paint(kept, screen, camera, scene, halo);
        }

        // … paints what a new one paints at once.
        RadarMapRenderer fresh;
        QImage expected = canvas();
        paint(fresh, expected, camera, scene);
        QCOMPARE(screen.size(), expected.size());
        int differing = 0;
        for (int y = 0; y < screen.height(); ++y) {
            const auto *a = reinterpret_cast<const QRgb *>(screen.constScanLine(y));
            const auto *b = reinterpret_cast<const QRgb *>(expected.constScanLine(y));
            for (int x = 0; x < screen.width(); ++x)
                differing += a[x] != b[x];
        }
        QCOMPARE(differing, 0);
        // And the halo did change the picture where it pulses.
        QImage earlier = canvas();
        scene.haloPhase = 0.3;
        paint(fresh, earlier, camera, scene);
        QVERIFY(earlier != expected);
    }
};

QTEST_MAIN(TestRadarMap)
#include "tst_radarmap.moc"
