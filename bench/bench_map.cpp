// SPDX-License-Identifier: GPL-3.0-or-later
// One radar map frame at 1180 × 740 with every tile in memory, 2,000 aircraft with 12-point
// trails and one selected: prints the median and 95th percentile over 100 frames, first with
// every layer painted again each frame, then by layer for each kind of change (a camera move,
// a new answer, a glide step, a repaint at rest, the halo's pulse) against the 6 ms target.
//
//   bench_map                  the figures
//   bench_map --shots <dir>    also writes sample pictures of the map there
//   bench_map --only <label>   only the runs whose label starts so, for profiling
#include "benchstats.h"
#include "flightstore.h"
#include "map/mercator.h"
#include "map/radarmaprenderer.h"
#include "map/radarmapview.h"
#include "map/tilesource.h"
#include "material.h"
#include "preferences.h"
#include "testserver.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize frameSize(1180, 740);
const HomeLocation home { 45.52, -122.68, u"Portland"_s };

// The processor time of all the process's threads: the frame draws its trails and markers on
// several at once, so this is the work, and the wall clock the wait.
double processMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

QByteArray encodePng(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Stand-in tiles that look enough like a map to judge the drawing over them: land, water,
// roads, and the tile's own address so that misplaced tiles show.
QByteArray generatedTile(const QString &path)
{
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    const QString layer = parts.value(0);
    const int z = parts.value(1).toInt();
    int x = parts.value(2).toInt();
    int y = QString(parts.value(3)).remove(u".png"_s).toInt();
    if (layer != u"osm"_s)
        std::swap(x, y); // imagery and labels are addressed {z}/{y}/{x}
    QImage image(256, 256, layer == u"labels"_s ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(layer == u"labels"_s ? QColor(Qt::transparent)
            : layer == u"imagery"_s ? QColor(52, 70, 48)
                                    : QColor(242, 239, 233));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator random(quint32(z * 1'000'003 + x * 7919 + y));
    if (layer == u"osm"_s) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(170, 211, 223));
        painter.drawEllipse(QPointF(random.bounded(256), random.bounded(256)),
            30 + random.bounded(40), 20 + random.bounded(30));
        painter.setBrush(QColor(205, 235, 176));
        painter.drawRect(random.bounded(200), random.bounded(200), 40, 30);
        painter.setPen(QPen(QColor(255, 255, 255), 5));
        painter.drawLine(0, random.bounded(256), 256, random.bounded(256));
        painter.setPen(QPen(QColor(248, 178, 156), 3));
        painter.drawLine(random.bounded(256), 0, random.bounded(256), 256);
    } else if (layer == u"imagery"_s) {
        for (int i = 0; i < 40; ++i) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(
                QColor(40 + random.bounded(60), 60 + random.bounded(50), 40 + random.bounded(30)));
            painter.drawEllipse(QPointF(random.bounded(256), random.bounded(256)),
                10 + random.bounded(30), 10 + random.bounded(30));
        }
    }
    if (layer != u"imagery"_s) {
        QFont font;
        font.setPixelSize(11);
        painter.setFont(font);
        painter.setPen(layer == u"labels"_s ? QColor(255, 255, 255) : QColor(120, 120, 120));
        painter.drawText(QRect(0, 0, 256, 256), Qt::AlignCenter,
            u"%1 %2/%3/%4"_s.arg(layer == u"labels"_s ? u"Label"_s : u""_s).arg(z).arg(x).arg(y));
        if (layer == u"osm"_s) {
            painter.setPen(QColor(220, 215, 205));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(0, 0, 255, 255);
        }
    }
    painter.end();
    return encodePng(image);
}

void serveGeneratedTiles(TestServer &server)
{
    QObject::connect(&server, &TestServer::requestReceived, &server,
        [&server](const TestServer::Request &request) {
            if (request.path.startsWith(u"/v2/"_s))
                return;
            TestServer::Reply reply;
            reply.contentType = "image/png";
            reply.body = generatedTile(request.path);
            server.setReply(request.path, reply);
        });
}

Services localServices(const TestServer &server)
{
    QVariantMap overrides;
    const QString base = server.baseUrl().toString();
    overrides.insert(u"tilesStandard"_s, base + u"/osm/{z}/{x}/{y}.png"_s);
    overrides.insert(u"tilesImagery"_s, base + u"/imagery/{z}/{y}/{x}"_s);
    overrides.insert(u"tilesOverlay"_s, base + u"/labels/{z}/{y}/{x}"_s);
    overrides.insert(u"feedPrimary"_s, base);
    overrides.insert(u"feedSecondary"_s, base);
    return Services::withOverrides(overrides);
}

struct Sky {
    QList<Aircraft> aircraft;
    QHash<QString, QList<LatLon>> trails;
    QJsonArray json;
};

// Aircraft spread over the radius, each with the trail of its last minute.
Sky makeSky(int count, double radiusNM, quint32 seed)
{
    QRandomGenerator random(seed);
    Sky sky;
    const LatLon centre { home.latitude, home.longitude };
    for (int i = 0; i < count; ++i) {
        const double distance = std::sqrt(random.generateDouble()) * radiusNM * 1852.0;
        const LatLon position = Mercator::destination(centre, random.bounded(360.0), distance);
        const double track = random.bounded(360.0);
        const double speed = 120 + random.bounded(350.0);
        QJsonObject record {
            { u"hex"_s, u"%1"_s.arg(0xa00000 + i, 6, 16, QLatin1Char('0')) },
            { u"lat"_s, position.latitude },
            { u"lon"_s, position.longitude },
            { u"track"_s, track },
            { u"gs"_s, speed },
            { u"alt_baro"_s,
                random.bounded(1000) < 30 ? 900 + random.bounded(1000)
                                          : 1500 + random.bounded(40000) },
            { u"dst"_s, distance / 1852.0 },
            { u"flight"_s,
                u"%1%2"_s
                    .arg(QStringList { u"UAL"_s, u"ASA"_s, u"DAL"_s, u"SWA"_s, u"N"_s }.at(
                        random.bounded(5)))
                    .arg(100 + random.bounded(9000)) },
        };
        if (random.bounded(100) == 0)
            record.insert(u"squawk"_s, u"7700"_s);
        if (random.bounded(40) == 0)
            record.insert(u"dbFlags"_s, 1);
        sky.json.append(record);

        Aircraft aircraft;
        aircraft.hex = record.value(u"hex"_s).toString();
        aircraft.lat = position.latitude;
        aircraft.lon = position.longitude;
        aircraft.track = track;
        aircraft.altBaro = Altitude::feet(record.value(u"alt_baro"_s).toInteger());
        aircraft.flight = record.value(u"flight"_s).toString();
        if (record.contains(u"squawk"_s))
            aircraft.squawk = record.value(u"squawk"_s).toString();
        if (record.contains(u"dbFlags"_s))
            aircraft.dbFlags = 1;
        sky.aircraft << aircraft;

        // Five seconds a point, backwards along the track.
        QList<LatLon> trail;
        for (int k = 11; k >= 0; --k)
            trail << Mercator::destination(
                position, track + 180.0 + random.bounded(4.0) - 2.0, speed * 0.5144 * 5.0 * k);
        sky.trails.insert(aircraft.hex, trail);
    }
    return sky;
}

void waitForTiles(TileSource &tiles, RadarMapRenderer &renderer, const Mercator::Camera &camera,
    const RadarMapSettings &settings)
{
    QImage scratch(frameSize, QImage::Format_ARGB32_Premultiplied);
    for (int round = 0; round < 200; ++round) {
        QPainter painter(&scratch);
        renderer.render(&painter, QRectF(QPointF(0, 0), frameSize), camera, {}, settings);
        painter.end();
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (tiles.inFlightCount() == 0 && tiles.queuedCount() == 0 && round > 2)
            return;
    }
}

QPalette lightPalette()
{
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Base, QColor(236, 234, 229));
    palette.setColor(QPalette::Text, QColor(60, 60, 60));
    palette.setColor(QPalette::Window, QColor(246, 246, 246));
    palette.setColor(QPalette::WindowText, QColor(20, 20, 20));
    return palette;
}

QPalette darkPalette()
{
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Base, QColor(30, 32, 36));
    palette.setColor(QPalette::Text, QColor(220, 220, 220));
    palette.setColor(QPalette::Window, QColor(44, 46, 50));
    palette.setColor(QPalette::WindowText, QColor(236, 236, 236));
    return palette;
}

// The frame by layer: what each kind of change repaints, with the processor time of each
// layer the renderer painted again, against the frame budget.
void layers(RadarMapRenderer &renderer, const Mercator::Camera &camera, RadarMapScene scene,
    const RadarMapSettings &settings, const QString &only)
{
    constexpr double target = 6.0;
    const QRectF whole(QPointF(0, 0), frameSize);
    const Mercator::Viewport viewport(whole, camera);
    const Aircraft &chosen = *std::find_if(scene.aircraft.cbegin(), scene.aircraft.cend(),
        [&](const Aircraft &a) { return a.hex == scene.selectedHex; });
    const QPointF centre = viewport.toScreen(*chosen.coordinate());
    // As RadarMap asks for it: 1.4 selected-disc diameters and a point round the centre.
    const double reach = RadarMapRenderer::discDiameter(settings.markerScale, true) * 1.4 + 2.0;
    const QRect halo =
        QRectF(centre - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)).toAlignedRect();
    // Half the aircraft a few hundred metres on, as in the middle of a glide.
    QHash<QString, LatLon> drawn;
    for (int i = 0; i < scene.aircraft.size(); i += 2) {
        const Aircraft &aircraft = scene.aircraft.at(i);
        drawn.insert(aircraft.hex,
            Mercator::destination(*aircraft.coordinate(), aircraft.track.value_or(0), 300.0));
    }

    struct Case {
        const char *label;
        RadarMapRenderer::Layers invalid;
        bool glide;
        bool haloOnly;
    };
    const Case cases[] = {
        { "camera moved: all layers",
            RadarMapRenderer::Layer::Basemap | RadarMapRenderer::Layer::Trails
                | RadarMapRenderer::Layer::Markers,
            false, false },
        { "new answer: trails+markers",
            RadarMapRenderer::Layer::Trails | RadarMapRenderer::Layer::Markers, false, false },
        { "glide step: markers", RadarMapRenderer::Layer::Markers, true, false },
        { "at rest: whole frame", {}, false, false },
        { "halo pulse: its rect", {}, false, true },
    };
    std::printf("\nby layer (wall-clock medians, ms; the layers a frame keeps cost nothing), "
                "target %.1f ms a frame; trails and markers: placing them, drawing: both drawn "
                "band by band on all threads; cpu is the processor time of all threads:\n",
        target);
    std::printf("%-28s %8s %8s %8s %8s %8s | %8s %8s | %8s\n", "frame", "basemap", "trails",
        "markers", "drawing", "compose", "total", "p95", "cpu");
    QImage frame(frameSize, QImage::Format_ARGB32_Premultiplied);
    for (const Case &test : cases) {
        if (!only.isEmpty() && !QString::fromUtf8(test.label).startsWith(only))
            continue;
        std::vector<double> basemap, trails, markers, drawing, compose, total, processor;
        renderer.invalidate(RadarMapRenderer::Layer::Basemap | RadarMapRenderer::Layer::Trails
            | RadarMapRenderer::Layer::Markers);
        for (int i = 0; i < 110; ++i) {
            scene.haloPhase = (i % 30) / 30.0;
            scene.drawnPositions = test.glide && i % 2 ? drawn : QHash<QString, LatLon>();
            renderer.invalidate(test.invalid);
            QElapsedTimer clock;
            clock.start();
            QPainter painter(&frame);
            if (test.haloOnly) {
                painter.setClipRect(halo);
                renderer.render(&painter, whole, camera, scene, settings, halo);
            } else {
                renderer.render(&painter, whole, camera, scene, settings);
            }
            painter.end();
            const double spent = double(clock.nsecsElapsed()) / 1e6;
            if (i >= 10) {
                const RadarMapRenderer::Timings &t = renderer.lastTimings();
                basemap.push_back(t.basemap);
                trails.push_back(t.trails);
                markers.push_back(t.markers);
                drawing.push_back(t.drawing);
                compose.push_back(t.compose);
                total.push_back(spent);
                processor.push_back(t.processor);
            }
        }
        const double median = percentile(total, 0.5);
        std::printf("%-28s %8.2f %8.2f %8.2f %8.2f %8.2f | %8.2f %8.2f | %8.2f  %s\n", test.label,
            percentile(basemap, 0.5), percentile(trails, 0.5), percentile(markers, 0.5),
            percentile(drawing, 0.5), percentile(compose, 0.5), median, percentile(total, 0.95),
            percentile(processor, 0.5), median <= target ? "meets target" : "over target");
    }
}

void benchmark(TileSource &tiles, const QString &only)
{
    const Sky sky = makeSky(2000, 60.0, 1);
    RadarMapScene scene;
    scene.home = home;
    scene.radiusNM = 60.0;
    scene.aircraft = sky.aircraft;
    scene.trails = sky.trails;
    scene.selectedHex = sky.aircraft.at(17).hex;
    RadarMapSettings settings;
    settings.palette = lightPalette();
    settings.keyBottomMargin = 36 + 32 + 8;
    const Mercator::Camera camera { { home.latitude, home.longitude },
        Mercator::fitAllDistance(scene.radiusNM) };

    RadarMapRenderer renderer(&tiles);
    waitForTiles(tiles, renderer, camera, settings);

    QImage frame(frameSize, QImage::Format_ARGB32_Premultiplied);
    const auto run = [&](const char *label, const RadarMapSettings &variant, bool empty = false) {
        if (!only.isEmpty() && !QString::fromUtf8(label).startsWith(only))
            return;
        const RadarMapScene sky = scene;
        if (empty)
            scene.aircraft.clear();
        std::vector<double> wall;
        std::vector<double> processor;
        for (int i = 0; i < 110; ++i) {
            scene.haloPhase = (i % 30) / 30.0;
            QElapsedTimer clock;
            clock.start();
            const double started = processMilliseconds();
            QPainter painter(&frame);
            renderer.render(&painter, QRectF(QPointF(0, 0), frameSize), camera, scene, variant);
            painter.end();
            // The first frames draw the marker pictures; the steady state is what counts.
            if (i >= 10) {
                wall.push_back(double(clock.nsecsElapsed()) / 1e6);
                processor.push_back(processMilliseconds() - started);
            }
        }
        scene = sky;
        std::printf(
            "%-22s wall median %6.2f ms  p95 %6.2f ms | cpu median %6.2f ms  p95 %6.2f ms\n", label,
            percentile(wall, 0.5), percentile(wall, 0.95), percentile(processor, 0.5),
            percentile(processor, 0.95));
    };
    std::printf("radar map frame, %dx%d, 2,000 aircraft, 12-point trails, one selected, %d tiles "
                "in memory, 100 frames\n",
        frameSize.width(), frameSize.height(), tiles.memoryCount());
    std::printf("every layer painted again each frame (as when the camera moves):\n");
    renderer.setLayerCaching(false);
    run("standard", settings);
    RadarMapSettings byAltitude = settings;
    byAltitude.colorByAltitude = true;
    byAltitude.differentiateWithoutColor = true;
    run("by altitude, badges", byAltitude);
    RadarMapSettings noTrails = settings;
    noTrails.showTrails = false;
    run("without trails", noTrails);
    RadarMapSettings muted = settings;
    muted.mapStyleChoice = RadarMapRenderer::Style::Muted;
    run("muted", muted);
    run("basemap only, no aircraft", settings, true);
    renderer.setLayerCaching(true);
    layers(renderer, camera, scene, settings, only);

    // The frosted plate of the detail card over the frame just drawn, each time the map under
    // it repaints: the blur must stay a small part of a frame.
    for (const qreal ratio : { 1.0, 2.0 }) {
        QImage screen(frameSize * ratio, QImage::Format_ARGB32_Premultiplied);
        screen.setDevicePixelRatio(ratio);
        {
            QPainter painter(&screen);
            renderer.render(&painter, QRectF(QPointF(0, 0), frameSize), camera, scene, settings);
        }
        const QRectF card(frameSize.width() - 372, 12, 360, 420);
        QPainterPath shape;
        shape.addRoundedRect(card, 12, 12);
        std::vector<double> wall;
        for (int i = 0; i < 100; ++i) {
            QElapsedTimer clock;
            clock.start();
            QPainter painter(&screen);
            Material::paint(&painter, shape, Material::behind(&painter, card), card, Qt::white);
            painter.end();
            wall.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        std::printf("card plate 360x420 @%gx  wall median %6.2f ms  p95 %6.2f ms\n", ratio,
            percentile(wall, 0.5), percentile(wall, 0.95));
    }
}

void writeShot(const QImage &image, const QString &path)
{
    if (image.save(path))
        std::printf("wrote %s\n", qPrintable(path));
    else
        std::printf("could not write %s\n", qPrintable(path));
}

void shots(TileSource &tiles, TestServer &server, const QString &directory)
{
    QDir().mkpath(directory);
    Sky sky = makeSky(70, 25.0, 7);
    RadarMapScene scene;
    scene.home = home;
    scene.radiusNM = 25.0;
    scene.aircraft = sky.aircraft;
    scene.trails = sky.trails;
    scene.selectedHex = sky.aircraft.at(3).hex;
    scene.haloPhase = 0.3;
    const Mercator::Camera fitAll { { home.latitude, home.longitude },
        Mercator::fitAllDistance(25.0) };

    const auto shot = [&](const QString &name, RadarMapSettings settings,
                          const Mercator::Camera &camera, TileSource *source, qreal ratio = 1.0) {
        RadarMapRenderer renderer(source);
        if (source)
            waitForTiles(*source, renderer, camera, settings);
        QImage image(frameSize * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        QPainter painter(&image);
        renderer.render(&painter, QRectF(QPointF(0, 0), frameSize), camera, scene, settings);
        painter.end();
        writeShot(image, directory + u'/' + name);
    };

    RadarMapSettings settings;
    settings.palette = lightPalette();
    shot(u"map-standard.png"_s, settings, fitAll, &tiles);
    settings.mapStyleChoice = RadarMapRenderer::Style::Muted;
    shot(u"map-muted.png"_s, settings, fitAll, &tiles);
    settings.mapStyleChoice = RadarMapRenderer::Style::Hybrid;
    shot(u"map-hybrid.png"_s, settings, fitAll, &tiles);
    settings.mapStyleChoice = RadarMapRenderer::Style::Standard;
    shot(u"map-graticule.png"_s, settings, fitAll, nullptr);
    settings.palette = darkPalette();
    settings.colorByAltitude = true;
    settings.differentiateWithoutColor = true;
    settings.increaseContrast = true;
    shot(u"map-altitude-dark.png"_s, settings, fitAll, nullptr);
    settings = {};
    settings.palette = lightPalette();
    settings.reduceMotion = true;
    const Aircraft &selected = sky.aircraft.at(3);
    shot(u"map-selection@2x.png"_s, settings, { *selected.coordinate(), 12'000 }, &tiles, 2.0);

    // The whole widget, controls and a corner card included, fed by a local feed.
    QTemporaryDir folder;
    Preferences preferences(folder.filePath(u"Skyvelle.conf"_s));
    TestServer::Reply feed;
    feed.body = QJsonDocument(QJsonObject { { u"ac"_s, sky.json } }).toJson(QJsonDocument::Compact);
    server.setPrefixReply(u"/v2/point/"_s, feed);
    QNetworkAccessManager network;
    FlightStore store(&preferences, &network, localServices(server), folder.filePath(u"data"_s));
    store.setHome(home);
    QElapsedTimer clock;
    clock.start();
    while (store.aircraft().isEmpty() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    RadarMapView view(&store, &preferences, &tiles);
    view.setPalette(lightPalette());
    view.resize(frameSize);
    auto *card = new QWidget;
    card->setFixedSize(320, 150);
    card->setAutoFillBackground(true);
    view.setCornerWidget(card);
    view.show();
    preferences.setColorByAltitude(true);
    store.setSelectedHex(sky.aircraft.at(3).hex);
    clock.restart();
    while (clock.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    writeShot(view.grab().toImage(), directory + u"/map-widget.png"_s);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype shotsAt = arguments.indexOf(u"--shots"_s);
    const qsizetype onlyAt = arguments.indexOf(u"--only"_s);

    TestServer server;
    serveGeneratedTiles(server);
    QTemporaryDir cache;
    QNetworkAccessManager network;
    TileSource tiles(&network, localServices(server), cache.filePath(u"tiles"_s));
    tiles.setMemoryBudget(400);

    benchmark(tiles, onlyAt >= 0 ? arguments.value(onlyAt + 1) : QString());
    if (shotsAt >= 0 && shotsAt + 1 < arguments.size())
        shots(tiles, server, arguments.at(shotsAt + 1));
    return 0;
}
