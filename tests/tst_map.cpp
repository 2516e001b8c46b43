// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftcolors.h"
#include "altitudecolors.h"
#include "map/mercator.h"
#include "map/radarmaprenderer.h"
#include "map/tilesource.h"
#include "systemcolors.h"
#include "testserver.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

using Headers = QList<std::pair<QByteArray, QByteArray>>;
Q_DECLARE_METATYPE(TileSource::Layer)
Q_DECLARE_METATYPE(LatLon)
Q_DECLARE_METATYPE(TestServer::Reply)
Q_DECLARE_METATYPE(Headers)

namespace {

const QColor background(90, 90, 90);
const LatLon here { 45.5123, -122.6789 };
constexpr QSize markerCanvas(200, 200);

// A palette whose graticule vanishes into the background, so that markers are all there is.
QPalette plainPalette(const QColor &text = background)
{
    QPalette palette;
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Window, QColor(240, 240, 240));
    palette.setColor(QPalette::WindowText, Qt::black);
    return palette;
}

RadarMapSettings plainSettings()
{
    RadarMapSettings settings;
    settings.palette = plainPalette();
    settings.reduceMotion = true;
    return settings;
}

Aircraft plane(const QString &hex = u"abc123"_s)
{
    Aircraft aircraft;
    aircraft.hex = hex;
    aircraft.lat = here.latitude;
    aircraft.lon = here.longitude;
    return aircraft;
}

Mercator::Camera cameraAt(const LatLon &centre, double zoom, const QSize &size)
{
    return { centre, Mercator::distanceForZoom(zoom, centre.latitude, size) };
}

QImage render(RadarMapRenderer &renderer, const RadarMapScene &scene,
    const RadarMapSettings &settings, const Mercator::Camera &camera,
    const QSize &size = markerCanvas)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), size), camera, scene, settings);
    painter.end();
    return image;
}

// One marker in the middle of the canvas, at a zoom where the trail rules do not matter.
QImage renderMarker(const Aircraft &aircraft, const RadarMapSettings &settings,
    bool selected = false, double haloPhase = 0.0)
{
    RadarMapScene scene;
    scene.aircraft = { aircraft };
    if (selected)
        scene.selectedHex = aircraft.hex;
    scene.haloPhase = haloPhase;
    RadarMapRenderer renderer;
    return render(renderer, scene, settings, cameraAt(here, 12, markerCanvas));
}

// The colour of @p top laid over @p bottom at its alpha.
QColor over(const QColor &top, const QColor &bottom)
{
    const double a = top.alphaF();
    return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)),
        float(top.greenF() * a + bottom.greenF() * (1 - a)),
        float(top.blueF() * a + bottom.blueF() * (1 - a)));
}

int difference(const QColor &a, const QColor &b)
{
    return std::max({ std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
        std::abs(a.blue() - b.blue()) });
}

QByteArray describe(const QColor &actual, const QColor &expected)
{
    return QStringLiteral("got %1, expected %2").arg(actual.name(), expected.name()).toUtf8();
}

#define COMPARE_COLOR(actual, expected, tolerance)                                                 \
    QVERIFY2(difference((actual), (expected)) <= (tolerance),                                      \
        describe((actual), (expected)).constData())

// Pixels from the middle of the canvas (the marker's centre is the corner shared by the four
// middle pixels).
QColor at(const QImage &image, int dx, int dy)
{
    return image.pixelColor(image.width() / 2 + dx, image.height() / 2 + dy);
}

// How far up from the centre the marker reaches before the background shows.
int radiusUp(const QImage &image)
{
    for (int k = 0; k < image.height() / 2; ++k) {
        if (difference(at(image, 0, -1 - k), background) < 16)
            return k;
    }
    return -1;
}

// Where the glyph's ink lies within the disc: the plane's tail outweighs its thin nose.
QPointF glyphCentroid(const QImage &image, const QColor &fill)
{
    double sumX = 0, sumY = 0, total = 0;
    for (int dy = -8; dy < 8; ++dy) {
        for (int dx = -8; dx < 8; ++dx) {
            const double x = dx + 0.5, y = dy + 0.5;
            if (x * x + y * y > 64)
                continue;
            const double weight = difference(at(image, dx, dy), fill);
            sumX += x * weight;
            sumY += y * weight;
            total += weight;
        }
    }
    return total > 0 ? QPointF(sumX / total, sumY / total) : QPointF();
}

QByteArray png(const QColor &color, QSize size = { 256, 256 })
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TestServer::Reply tileReply(const QColor &color, int delayMs = 0)
{
    TestServer::Reply reply;
    reply.body = png(color);
    reply.contentType = "image/png";
    reply.delayMs = delayMs;
    return reply;
}

} // namespace

class TestMap : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<TileSource> m_tiles;

    Services tileServices() const
    {
        QVariantMap overrides;
        overrides.insert(
            u"tilesStandard"_s, m_server->baseUrl().toString() + u"/osm/{z}/{x}/{y}.png"_s);
        overrides.insert(
            u"tilesImagery"_s, m_server->baseUrl().toString() + u"/imagery/{z}/{y}/{x}"_s);
        overrides.insert(
            u"tilesOverlay"_s, m_server->baseUrl().toString() + u"/labels/{z}/{y}/{x}"_s);
        return Services::withOverrides(overrides);
    }

    // A fresh tile source (empty memory) over the test's disk cache.
    TileSource *newTileSource()
    {
        m_tiles.reset();
        m_network = std::make_unique<QNetworkAccessManager>();
        m_tiles = std::make_unique<TileSource>(
            m_network.get(), tileServices(), m_dir->filePath(u"tiles"_s));
        return m_tiles.get();
    }

    // A 600 × 300 view at zoom 3 over the equator: tiles x 2…5, y 3…4.
    static constexpr QSize tileCanvas { 600, 300 };
    static Mercator::Camera tileCamera() { return cameraAt({ 0, 0 }, 3, tileCanvas); }

    void waitIdle(TileSource *tiles)
    {
        QTRY_VERIFY(tiles->inFlightCount() == 0 && tiles->queuedCount() == 0);
        // The probes of the disk cache finish on the next turns of the event loop.
        QTest::qWait(20);
        QTRY_VERIFY(tiles->inFlightCount() == 0 && tiles->queuedCount() == 0);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<TestServer>();
    }

    void cleanup()
    {
        m_tiles.reset();
        m_network.reset();
        m_server.reset();
        m_dir.reset();
    }

    // Projection and camera arithmetic

    void projection_data()
    {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("world");
        QTest::newRow("origin") << 0.0 << 0.0 << 0.0 << QPointF(128, 128);
        QTest::newRow("north-west corner")
            << Mercator::maxLatitude << -180.0 << 0.0 << QPointF(0, 0);
        QTest::newRow("south-east corner at 1")
            << -Mercator::maxLatitude << 180.0 << 1.0 << QPointF(512, 512);
        QTest::newRow("beyond the pole clamps") << 89.9 << 0.0 << 0.0 << QPointF(128, 0);
        QTest::newRow("90 east at 2") << 0.0 << 90.0 << 2.0 << QPointF(768, 512);
    }

    void projection()
    {
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(double, zoom);
        QFETCH(QPointF, world);
        const QPointF projected = Mercator::project({ latitude, longitude }, zoom);
        QVERIFY(std::abs(projected.x() - world.x()) < 1e-6);
        QVERIFY(std::abs(projected.y() - world.y()) < 1e-6);
        const LatLon back = Mercator::unproject(projected, zoom);
        QVERIFY(std::abs(back.latitude
                    - std::clamp(latitude, -Mercator::maxLatitude, Mercator::maxLatitude))
            < 1e-9);
        QVERIFY(std::abs(back.longitude - longitude) < 1e-9);
    }

    void metresPerPixel()
    {
        QVERIFY(std::abs(Mercator::metresPerPixel(0, 0) - 156543.03392) < 1e-3);
        QVERIFY(std::abs(Mercator::metresPerPixel(60, 1) - 156543.03392 / 4) < 1e-3);
    }

    void cameraDistances_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<double>("cameraDistance");
        QTest::addColumn<double>("radiusNM");
        QTest::addColumn<double>("expected");
        QTest::newRow("ring at 25 nm") << u"ring"_s << 0.0 << 25.0 << 46'300.0;
        QTest::newRow("fit all at 25 nm") << u"fit"_s << 0.0 << 25.0 << 231'500.0;
        QTest::newRow("fit all does not clamp") << u"fit"_s << 0.0 << 250.0 << 2'315'000.0;
        QTest::newRow("home, no distance, 250 nm") << u"home"_s << 0.0 << 250.0 << 1'389'000.0;
        QTest::newRow("home, no distance, 5 nm") << u"home"_s << 0.0 << 5.0 << 27'780.0;
        QTest::newRow("home keeps the distance") << u"home"_s << 50'000.0 << 25.0 << 50'000.0;
        QTest::newRow("home clamps up") << u"home"_s << 1'000.0 << 25.0 << 2'000.0;
        QTest::newRow("home clamps down") << u"home"_s << 5'000'000.0 << 25.0 << 2'000'000.0;
        QTest::newRow("focus, no distance") << u"focus"_s << 0.0 << 25.0 << 138'900.0;
        QTest::newRow("focus clamps up") << u"focus"_s << 3'000.0 << 25.0 << 8'000.0;
        QTest::newRow("focus clamps down") << u"focus"_s << 900'000.0 << 25.0 << 600'000.0;
    }

    void cameraDistances()
    {
        QFETCH(QString, operation);
        QFETCH(double, cameraDistance);
        QFETCH(double, radiusNM);
        QFETCH(double, expected);
        double actual = 0;
        if (operation == u"ring"_s)
            actual = Mercator::ringRadiusMetres(radiusNM);
        else if (operation == u"fit"_s)
            actual = Mercator::fitAllDistance(radiusNM);
        else if (operation == u"home"_s)
            actual = Mercator::homeDistance(cameraDistance, radiusNM);
        else
            actual = Mercator::focusDistance(cameraDistance, radiusNM);
        QCOMPARE(actual, expected);
    }

    void fitAllShowsTheRingWithMargin_data()
    {
        QTest::addColumn<QSize>("viewport");
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("radiusNM");
        QTest::newRow("window, Portland") << QSize(1180, 740) << 45.5 << 25.0;
        QTest::newRow("tall, Oslo, wide radius") << QSize(400, 900) << 59.9 << 250.0;
        QTest::newRow("small, equator, 5 nm") << QSize(300, 300) << 0.0 << 5.0;
    }

    void fitAllShowsTheRingWithMargin()
    {
        QFETCH(QSize, viewport);
        QFETCH(double, latitude);
        QFETCH(double, radiusNM);
        const LatLon home { latitude, 10.0 };
        const Mercator::Viewport view(
            QRectF(QPointF(0, 0), viewport), { home, Mercator::fitAllDistance(radiusNM) });
        const double shorter = std::min(viewport.width(), viewport.height());
        // The farthest point of the ring from the middle, projected, in every direction.
        for (int bearing = 0; bearing < 360; bearing += 15) {
            const QPointF point = view.toScreen(
                Mercator::destination(home, bearing, Mercator::ringRadiusMetres(radiusNM)));
            const QPointF offset = point - view.rect().center();
            const double reach = std::max(std::abs(offset.x()), std::abs(offset.y()));
            QVERIFY2(reach < shorter * 0.46, qPrintable(QString::number(reach)));
            if (bearing % 90 == 0)
                QVERIFY2(reach > shorter * 0.3, qPrintable(QString::number(reach)));
        }
    }

    void zoomAndDistanceAgree()
    {
        const QSize viewport(800, 600);
        for (const double zoom : { 3.0, 7.25, 12.5 }) {
            const double distance = Mercator::distanceForZoom(zoom, 45.0, viewport);
            QVERIFY(std::abs(Mercator::zoomForDistance(distance, 45.0, viewport) - zoom) < 1e-9);
        }
        // Twice the distance is one level out.
        QVERIFY(std::abs(Mercator::zoomForDistance(2000, 0, viewport)
                    - Mercator::zoomForDistance(1000, 0, viewport) + 1)
            < 1e-9);
        QCOMPARE(Mercator::zoomForDistance(1e12, 0, viewport), Mercator::minZoom);
        QCOMPARE(Mercator::zoomForDistance(1, 0, viewport), Mercator::maxZoom);
    }

    void tileRanges_data()
    {
        QTest::addColumn<LatLon>("centre");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QSize>("viewport");
        QTest::addColumn<int>("tileZoom");
        QTest::addColumn<QList<int>>("expected"); // firstX, lastX, firstY, lastY
        QTest::newRow("whole world at 1")
            << LatLon { 0, 0 } << 1.0 << QSize(512, 512) << 1 << QList<int> { 0, 1, 0, 1 };
        QTest::newRow("middle four at 2")
            << LatLon { 0, 0 } << 2.0 << QSize(256, 256) << 2 << QList<int> { 1, 2, 1, 2 };
        QTest::newRow("wide view at 3")
            << LatLon { 0, 0 } << 3.0 << QSize(600, 300) << 3 << QList<int> { 2, 5, 3, 4 };
        QTest::newRow("fractional zoom, level below")
            << LatLon { 0, 0 } << 2.5 << QSize(256, 256) << 2 << QList<int> { 1, 2, 1, 2 };
        QTest::newRow("across the antimeridian")
            << LatLon { 0, 180 } << 2.0 << QSize(256, 256) << 2 << QList<int> { 3, 4, 1, 2 };
        QTest::newRow("clamped at the pole")
            << LatLon { 85, 0 } << 1.0 << QSize(512, 256) << 1 << QList<int> { 0, 1, 0, 0 };
        QTest::newRow("wider than the world repeats it")
            << LatLon { 0, 0 } << 0.0 << QSize(1200, 256) << 0 << QList<int> { -2, 2, 0, 0 };
    }

    void tileRanges()
    {
        QFETCH(LatLon, centre);
        QFETCH(double, zoom);
        QFETCH(QSize, viewport);
        QFETCH(int, tileZoom);
        QFETCH(QList<int>, expected);
        const Mercator::TileRange range = Mercator::tileRange(centre, zoom, viewport, tileZoom);
        QCOMPARE((QList<int> { range.firstX, range.lastX, range.firstY, range.lastY }), expected);
        QCOMPARE(Mercator::wrapTileX(4, 2), 0);
        QCOMPARE(Mercator::wrapTileX(-1, 2), 3);
    }

    // Markers

    void markerColours_data()
    {
        QTest::addColumn<QString>("planeColorHex");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("highContrast");
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<QColor>("ring");
        QTest::addColumn<QColor>("glyph");
        const QColor white(255, 255, 255);
        const QColor orange(0xFF, 0x8A, 0x00);
        const QColor yellow(0xFF, 0xD6, 0x0A);
        QTest::newRow("white") << u"#FFFFFF"_s << false << false << white
                               << over(QColor(0, 0, 0, 128), white)
                               << over(QColor(0, 0, 0, 217), white);
        QTest::newRow("white, high contrast")
            << u"#FFFFFF"_s << false << true << white << over(QColor(0, 0, 0, 204), white)
            << over(QColor(0, 0, 0, 217), white);
        QTest::newRow("white, selected")
            << u"#FFFFFF"_s << true << false << white << over(QColor(0, 0, 0, 204), white)
            << over(QColor(0, 0, 0, 217), white);
        // Luminance 0.6167, just not light: white glyph and ring.
        QTest::newRow("default orange") << u"#FF8A00"_s << false << false << orange
                                        << over(QColor(255, 255, 255, 217), orange) << white;
        QTest::newRow("default orange, selected")
            << u"#FF8A00"_s << true << false << orange << white << white;
        QTest::newRow("preset yellow")
            << u"#FFD60A"_s << false << false << yellow << over(QColor(0, 0, 0, 128), yellow)
            << over(QColor(0, 0, 0, 217), yellow);
        // The platform's orange stands in for a colour that does not parse; lighter than the
        // default one (0.642), so it carries a dark glyph.
        QTest::newRow("unparseable is orange")
            << u"orange"_s << false << false << QColor(255, 149, 0)
            << over(QColor(0, 0, 0, 128), QColor(255, 149, 0))
            << over(QColor(0, 0, 0, 217), QColor(255, 149, 0));
    }

    void markerColours()
    {
        QFETCH(QString, planeColorHex);
        QFETCH(bool, selected);
        QFETCH(bool, highContrast);
        QFETCH(QColor, fill);
        QFETCH(QColor, ring);
        QFETCH(QColor, glyph);
        RadarMapSettings settings = plainSettings();
        settings.planeColorHex = planeColorHex;
        settings.increaseContrast = highContrast;
        const QImage image = renderMarker(plane(), settings, selected);

        // Between the glyph's wing tips and the ring.
        COMPARE_COLOR(selected ? at(image, 8, 7) : at(image, 5, 6), fill, 6);
        // Across the middle of the ring, straight up: the normal ring is 1.5 wide at radius 12,
        // the strong ones 2.5 (selected, radius 15) or 2.5 (high contrast, radius 12).
        const int ringAt = selected ? -14 : (highContrast ? -11 : -12);
        COMPARE_COLOR(at(image, 0, ringAt), ring, 12);
        // The most inked pixel inside the glyph's reach shows the glyph colour.
        QColor darkest = fill;
        for (int dy = -4; dy < 4; ++dy) {
            for (int dx = -4; dx < 4; ++dx) {
                if (difference(at(image, dx, dy), fill) > difference(darkest, fill))
                    darkest = at(image, dx, dy);
            }
        }
        COMPARE_COLOR(darkest, glyph, 24);
    }

    void markerFillRules_data()
    {
        QTest::addColumn<bool>("colorByAltitude");
        QTest::addColumn<QVariant>("altitude");
        QTest::addColumn<QString>("squawk");
        QTest::addColumn<bool>("military");
        QTest::addColumn<QColor>("fill");
        const QColor orange = QColor::fromRgbF(1.0f, 0.45f, 0.2f);
        QTest::newRow("1,999 ft is orange")
            << true << QVariant(1999) << QString() << false << orange;
        QTest::newRow("below sea level is orange")
            << true << QVariant(-50) << QString() << false << orange;
        QTest::newRow("2,000 ft is yellow")
            << true << QVariant(2000) << QString() << false << QColor::fromRgbF(1.0f, 0.78f, 0.0f);
        QTest::newRow("10,000 ft is green")
            << true << QVariant(10000) << QString() << false << QColor::fromRgbF(0.3f, 0.78f, 0.3f);
        QTest::newRow("29,999 ft is cyan")
            << true << QVariant(29999) << QString() << false << QColor::fromRgbF(0.2f, 0.72f, 0.9f);
        QTest::newRow("30,000 ft is violet")
            << true << QVariant(30000) << QString() << false << QColor::fromRgbF(0.5f, 0.5f, 1.0f);
        QTest::newRow("no altitude is grey")
            << true << QVariant() << QString() << false << QColor(142, 142, 147);
        QTest::newRow("altitude ignored when off")
            << false << QVariant(30000) << QString() << false << QColor(0xFF, 0x8A, 0x00);
        QTest::newRow("emergency is red")
            << true << QVariant(30000) << u"7700"_s << false << SystemColors::emergencyRed();
        QTest::newRow("military is green")
            << false << QVariant(5000) << QString() << true << SystemColors::militaryGreen();
        QTest::newRow("emergency beats military")
            << false << QVariant() << u"7500"_s << true << SystemColors::emergencyRed();
    }

    void markerFillRules()
    {
        QFETCH(bool, colorByAltitude);
        QFETCH(QVariant, altitude);
        QFETCH(QString, squawk);
        QFETCH(bool, military);
        QFETCH(QColor, fill);
        Aircraft aircraft = plane();
        if (altitude.isValid())
            aircraft.altBaro = Altitude::feet(altitude.toInt());
        if (!squawk.isEmpty())
            aircraft.squawk = squawk;
        if (military)
            aircraft.dbFlags = 1;
        RadarMapSettings settings = plainSettings();
        settings.colorByAltitude = colorByAltitude;
        COMPARE_COLOR(at(renderMarker(aircraft, settings), 6, 6), fill, 6);
    }

    void markerSizes_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<int>("radius");
        QTest::newRow("normal") << 1.0 << false << 12;
        QTest::newRow("selected") << 1.0 << true << 15;
        QTest::newRow("small") << 0.8 << false << 10;
        QTest::newRow("large") << 1.3 << false << 16;
        QTest::newRow("large, selected") << 1.3 << true << 20;
    }

    void markerSizes()
    {
        QFETCH(double, scale);
        QFETCH(bool, selected);
        QFETCH(int, radius);
        RadarMapSettings settings = plainSettings();
        settings.markerScale = scale;
        const int measured = radiusUp(renderMarker(plane(), settings, selected));
        QVERIFY2(std::abs(measured - radius) <= 1, qPrintable(QString::number(measured)));
    }

    void glyphPointsAlongTrack_data()
    {
        QTest::addColumn<QVariant>("track");
        QTest::addColumn<QPointF>("tail"); // the direction the tail lies in, screen coordinates
        QTest::newRow("no track points east") << QVariant() << QPointF(-1, 0);
        QTest::newRow("90 points east") << QVariant(90.0) << QPointF(-1, 0);
        QTest::newRow("0 points north") << QVariant(0.0) << QPointF(0, 1);
        QTest::newRow("180 points south") << QVariant(180.0) << QPointF(0, -1);
        QTest::newRow("270 points west") << QVariant(270.0) << QPointF(1, 0);
    }

    void glyphPointsAlongTrack()
    {
        QFETCH(QVariant, track);
        QFETCH(QPointF, tail);
        Aircraft aircraft = plane();
        if (track.isValid())
            aircraft.track = track.toDouble();
        const QPointF centroid =
            glyphCentroid(renderMarker(aircraft, plainSettings()), QColor(0xFF, 0x8A, 0x00));
        const double along = centroid.x() * tail.x() + centroid.y() * tail.y();
        const double across = centroid.x() * tail.y() - centroid.y() * tail.x();
        QVERIFY2(along > 0.4 && std::abs(across) < 0.25,
            qPrintable(u"centroid %1, %2"_s.arg(centroid.x()).arg(centroid.y())));
    }

    void badges()
    {
        RadarMapSettings settings = plainSettings();
        settings.differentiateWithoutColor = true;
        Aircraft emergency = plane();
        emergency.squawk = u"7700"_s;
        Aircraft military = plane();
        military.dbFlags = 1;
        Aircraft both = emergency;
        both.dbFlags = 1;

        // The badge is a white disc over the top-right corner of the marker; its glyph box
        // lies wholly inside that disc.
        const auto glyphBox = [](const QImage &image) {
            return image.copy(image.width() / 2 + 7, image.height() / 2 - 13, 6, 6);
        };
        const auto inkIn = [](const QImage &box) {
            int dark = 0;
            for (int y = 0; y < box.height(); ++y)
                for (int x = 0; x < box.width(); ++x)
                    dark += box.pixelColor(x, y).lightness() < 128;
            return dark;
        };
        const QImage exclamation = renderMarker(emergency, settings);
        const QImage star = renderMarker(military, settings);
        const QImage bothImage = renderMarker(both, settings);
        COMPARE_COLOR(at(exclamation, 6, -11), QColor(Qt::white), 20);
        COMPARE_COLOR(at(star, 6, -11), QColor(Qt::white), 20);
        QCOMPARE(glyphBox(bothImage), glyphBox(exclamation));
        QVERIFY(glyphBox(star) != glyphBox(exclamation));
        QVERIFY2(inkIn(glyphBox(star)) > inkIn(glyphBox(exclamation)),
            qPrintable(u"%1 %2"_s.arg(inkIn(glyphBox(star))).arg(inkIn(glyphBox(exclamation)))));
        COMPARE_COLOR(at(bothImage, 6, 6), SystemColors::emergencyRed(), 6);

        // Without the setting there is no badge: only background beyond the disc.
        settings.differentiateWithoutColor = false;
        COMPARE_COLOR(at(renderMarker(both, settings), 10, -12), background, 12);
        // An ordinary aircraft never gets one.
        settings.differentiateWithoutColor = true;
        COMPARE_COLOR(at(renderMarker(plane(), settings), 10, -12), background, 12);
    }

    void selectionHalo_data()
    {
        QTest::addColumn<bool>("reduceMotion");
        QTest::addColumn<double>("phase");
        QTest::addColumn<int>("sampleUp");
        QTest::addColumn<double>("opacity");
        // Still: 1.7 × the 30-point disc, its 3-point line scaled alike, at 0.4.
        QTest::newRow("still ring") << true << 0.7 << 24 << 0.4;
        // Pulsing: a 2.5-point ring that grows from the disc to 2.8 times and fades, easing out.
        QTest::newRow("pulse, a quarter") << false << 0.25 << 25 << 0.75 * 0.5625;
        QTest::newRow("pulse, half way") << false << 0.5 << 33 << 0.1875;
        QTest::newRow("pulse, end") << false << 0.999 << 39 << 0.0;
    }

    void selectionHalo()
    {
        QFETCH(bool, reduceMotion);
        QFETCH(double, phase);
        QFETCH(int, sampleUp);
        QFETCH(double, opacity);
        RadarMapSettings settings = plainSettings();
        settings.reduceMotion = reduceMotion;
        QColor expected(0xFF, 0x8A, 0x00);
        expected.setAlphaF(float(opacity));
        const QImage image = renderMarker(plane(), settings, true, phase);
        COMPARE_COLOR(at(image, 0, -sampleUp), over(expected, background), 8);
        // Nearer in, between the disc and the ring, only background.
        if (sampleUp > 20)
            COMPARE_COLOR(at(image, 0, -17), background, 4);
    }

    // Titles and painting order

    void labelsLeaveOutCollisions_data()
    {
        QTest::addColumn<double>("apart");
        QTest::addColumn<bool>("selectFarther");
        QTest::addColumn<bool>("nearerShown");
        QTest::addColumn<bool>("fartherShown");
        QTest::newRow("far apart: both") << 120.0 << false << true << true;
        QTest::newRow("closer than a title: the nearer's") << 30.0 << false << true << false;
        QTest::newRow("closer, the farther selected: its own") << 30.0 << true << false << true;
    }

    void labelsLeaveOutCollisions()
    {
        QFETCH(double, apart);
        QFETCH(bool, selectFarther);
        QFETCH(bool, nearerShown);
        QFETCH(bool, fartherShown);
        // White ink, so that titles show on the plain background.
        RadarMapSettings settings = plainSettings();
        settings.palette = plainPalette(Qt::white);
        const QSize size(320, 200);
        const Mercator::Camera camera = cameraAt(here, 12, size);
        const Mercator::Viewport viewport(QRectF(QPointF(0, 0), size), camera);
        const auto placed = [&](const QString &hex, const QString &flight, const QPointF &point) {
            Aircraft aircraft = plane(hex);
            aircraft.flight = flight;
            aircraft.lat = viewport.toCoordinate(point).latitude;
            aircraft.lon = viewport.toCoordinate(point).longitude;
            return aircraft;
        };
        const QPointF nearerPoint(100, 80);
        const QPointF fartherPoint = nearerPoint + QPointF(apart, 0);
        const Aircraft nearer = placed(u"a1"_s, u"NEAR1"_s, nearerPoint);
        const Aircraft farther = placed(u"a2"_s, u"FAR22"_s, fartherPoint);
        const QString selected = selectFarther ? farther.hex : QString();

        RadarMapRenderer renderer;
        const auto draw = [&](const QList<Aircraft> &aircraft) {
            RadarMapScene scene;
            scene.aircraft = aircraft;
            scene.selectedHex = selected;
            return render(renderer, scene, settings, camera, size);
        };
        // The title's rows under a marker, below its disc and its shadow (and below the
        // marker beside it).
        const auto band = [&](const QPointF &point, bool isSelected) {
            const double below = RadarMapRenderer::discDiameter(1.0, isSelected) / 2.0 + 5.0;
            return QRect(int(point.x()) - 30, int(point.y() + below), 60, 12);
        };
        const auto same = [](const QImage &a, const QImage &b, const QRect &rect) {
            return a.copy(rect) == b.copy(rect);
        };
        const QImage both = draw({ nearer, farther });
        const QImage nearerAlone = draw({ nearer });
        const QImage fartherAlone = draw({ farther });
        const QImage none = draw({});
        const QRect nearerBand = band(nearerPoint, false);
        const QRect fartherBand = band(fartherPoint, selectFarther);
        // Alone, each one's title shows.
        QVERIFY(!same(nearerAlone, none, nearerBand));
        QVERIFY(!same(fartherAlone, none, fartherBand));
        // Together, a title shows exactly as it does alone, or not at all.
        QCOMPARE(same(both, nearerAlone, nearerBand), nearerShown);
        QCOMPARE(same(both, fartherAlone, fartherBand), fartherShown);
    }

    void homeHasNoLabel()
    {
        RadarMapSettings settings = plainSettings();
        settings.palette = plainPalette(Qt::white);
        const QSize size(320, 200);
        const Mercator::Camera camera = cameraAt(here, 12, size);
        const Mercator::Viewport viewport(QRectF(QPointF(0, 0), size), camera);
        const auto drawHome = [&](const QPointF &point) {
            RadarMapScene scene;
            const LatLon at = viewport.toCoordinate(point);
            scene.home = HomeLocation { at.latitude, at.longitude, u"Portland"_s };
            // A ring far outside the picture: its faint fill lies evenly over all of it.
            scene.radiusNM = 100;
            RadarMapRenderer renderer;
            return render(renderer, scene, settings, camera, size);
        };
        // Below the sign there is what there is without the sign.
        const QRect below(100 - 40, 80 + 17, 80, 16);
        QCOMPARE(drawHome({ 100, 80 }).copy(below), drawHome({ 240, 80 }).copy(below));
    }

    void emergenciesArePaintedOverOthers()
    {
        RadarMapSettings settings = plainSettings();
        const Mercator::Camera camera = cameraAt(here, 12, markerCanvas);
        const Mercator::Viewport viewport(QRectF(QPointF(0, 0), markerCanvas), camera);
        const QPointF centre(markerCanvas.width() / 2.0, markerCanvas.height() / 2.0);
        RadarMapScene scene;
        // Ten ordinary markers just below it, which would stand in front of it by their row,
        // five listed before it and five after.
        for (int k = 1; k <= 10; ++k) {
            Aircraft other = plane(u"b%1"_s.arg(k));
            const LatLon at = viewport.toCoordinate(centre + QPointF(0, k));
            other.lat = at.latitude;
            other.lon = at.longitude;
            scene.aircraft.append(other);
            if (k == 5) {
                Aircraft emergency = plane(u"e1"_s);
                emergency.squawk = u"7700"_s;
                scene.aircraft.append(emergency);
            }
        }
        RadarMapRenderer renderer;
        const QImage image = render(renderer, scene, settings, camera);
        const QColor red = AircraftColors::fill(scene.aircraft.at(5), false, Qt::black);
        // Its disc shows on both sides of the glyph, where the others' discs lie too.
        COMPARE_COLOR(at(image, -9, 0), red, 2);
        COMPARE_COLOR(at(image, 8, 0), red, 2);
        QCOMPARE(
            renderer.markerAt(centre, QRectF(QPointF(0, 0), markerCanvas), camera, scene, settings),
            u"e1"_s);
    }

    // Trails

    void trailRules_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("showTrails");
        QTest::addColumn<double>("width");
        QTest::addColumn<QString>("squawk");
        QTest::addColumn<bool>("military");
        QTest::addColumn<QColor>("color"); // invalid: nothing drawn
        const QColor orange(0xFF, 0x8A, 0x00);
        QTest::newRow("one point is not drawn")
            << 1 << true << 2.0 << QString() << false << QColor();
        QTest::newRow("two points are") << 2 << true << 2.0 << QString() << false << orange;
        QTest::newRow("twelve points") << 12 << true << 2.0 << QString() << false << orange;
        QTest::newRow("trails off") << 12 << false << 2.0 << QString() << false << QColor();
        QTest::newRow("emergency is red")
            << 2 << true << 2.0 << u"7600"_s << false << SystemColors::emergencyRed();
        QTest::newRow("military is green")
            << 2 << true << 2.0 << QString() << true << SystemColors::militaryGreen();
        QTest::newRow("wide") << 2 << true << 8.0 << QString() << false << orange;
    }

    void trailRules()
    {
        QFETCH(int, points);
        QFETCH(bool, showTrails);
        QFETCH(double, width);
        QFETCH(QString, squawk);
        QFETCH(bool, military);
        QFETCH(QColor, color);
        // No position of its own: no marker, only the trail, which runs west to east through
        // the middle.
        Aircraft aircraft;
        aircraft.hex = u"trail1"_s;
        if (!squawk.isEmpty())
            aircraft.squawk = squawk;
        if (military)
            aircraft.dbFlags = 1;
        QList<LatLon> trail;
        for (int i = 0; i < points; ++i)
            trail << LatLon { here.latitude,
                here.longitude - 0.01 + (points > 1 ? 0.02 * i / (points - 1) : 0.01) };
        RadarMapScene scene;
        scene.aircraft = { aircraft };
        scene.trails.insert(aircraft.hex, trail);
        RadarMapSettings settings = plainSettings();
        settings.showTrails = showTrails;
        settings.trailWidth = width;

        const auto segments = RadarMapRenderer::trailSegments(scene, settings);
        QCOMPARE(segments.size(), color.isValid() ? 1 : 0);
        RadarMapRenderer renderer;
        const QImage image = render(renderer, scene, settings, cameraAt(here, 12, markerCanvas));
        if (!color.isValid()) {
            COMPARE_COLOR(at(image, 0, 0), background, 2);
            return;
        }
        QCOMPARE(segments.first().id, u"trail-trail1"_s);
        QCOMPARE(segments.first().coordinates, trail);
        QColor stroke = color;
        stroke.setAlphaF(0.45f);
        COMPARE_COLOR(at(image, 20, 0), over(stroke, background), 8);
        COMPARE_COLOR(at(image, 20, -1), over(stroke, background), 8);
        // The line is as wide as asked: three points off it shows only with the wide one.
        COMPARE_COLOR(at(image, 20, -3), width > 6 ? over(stroke, background) : background, 8);
    }

    // Styles, ring and home

    void styleTable_data()
    {
        QTest::addColumn<RadarMapRenderer::Style>("style");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<TileSource::Layer>>("layers");
        QTest::addColumn<bool>("whiteRing");
        QTest::addColumn<QString>("credit");
        using Style = RadarMapRenderer::Style;
        using Layer = TileSource::Layer;
        QTest::newRow("standard") << Style::Standard << u"Standard"_s << QList { Layer::Standard }
                                  << false << u"OpenStreetMap"_s;
        QTest::newRow("muted") << Style::Muted << u"Muted"_s << QList { Layer::Standard } << false
                               << u"OpenStreetMap"_s;
        QTest::newRow("imagery") << Style::Imagery << u"Satellite"_s << QList { Layer::Imagery }
                                 << true << u"Esri"_s;
        QTest::newRow("hybrid") << Style::Hybrid << u"Hybrid"_s
                                << QList { Layer::Imagery, Layer::Overlay } << true << u"Esri"_s;
    }

    void styleTable()
    {
        QFETCH(RadarMapRenderer::Style, style);
        QFETCH(QList<TileSource::Layer>, layers);
        QFETCH(bool, whiteRing);
        QFETCH(QString, credit);
        QTEST(RadarMapRenderer::styleName(style), "name");
        QCOMPARE(RadarMapRenderer::layers(style), layers);
        QVERIFY(RadarMapRenderer::attribution(style).contains(credit));

        // The ring as drawn: 46,300 m out from home at 25 nm, in the style's colour.
        RadarMapScene scene;
        scene.home = HomeLocation { here.latitude, here.longitude, u"Home"_s };
        RadarMapSettings settings = plainSettings();
        settings.mapStyleChoice = style;
        const QSize size(400, 400);
        const Mercator::Camera camera { here, 200'000 };
        RadarMapRenderer renderer;
        const QImage image = render(renderer, scene, settings, camera, size);
        const Mercator::Viewport viewport(QRectF(QPointF(0, 0), size), camera);
        const int ringPixels = int(std::lround(46'300 / viewport.metresPerPixel()));
        QColor ring = whiteRing ? QColor(Qt::white) : SystemColors::blue(settings.palette);
        // Inside, the fill at 0.05; on the ring, the outline at 0.5 over that.
        QColor fill = ring;
        fill.setAlphaF(0.05f);
        QColor outline = ring;
        outline.setAlphaF(0.5f);
        COMPARE_COLOR(image.pixelColor(200 + ringPixels / 2, 200), over(fill, background), 3);
        int best = 255;
        for (int dy = -2; dy <= 2; ++dy)
            best = std::min(best,
                difference(image.pixelColor(200, 200 - ringPixels + dy),
                    over(outline, over(fill, background))));
        QVERIFY2(best <= 30, qPrintable(QString::number(best)));
        // The home sign in the middle: a blue disc.
        COMPARE_COLOR(image.pixelColor(200 - 9, 200), SystemColors::blue(settings.palette), 40);
    }

    void attributionIsAlwaysShown()
    {
        RadarMapSettings settings = plainSettings();
        RadarMapRenderer renderer;
        for (const auto style :
            { RadarMapRenderer::Style::Standard, RadarMapRenderer::Style::Hybrid }) {
            settings.mapStyleChoice = style;
            const QImage image =
                render(renderer, {}, settings, cameraAt(here, 5, { 300, 200 }), { 300, 200 });
            // Dark text on a light plate in the bottom-left corner.
            int dark = 0;
            for (int y = 180; y < 200; ++y)
                for (int x = 12; x < 120; ++x)
                    dark += image.pixelColor(x, y).lightness() < 100;
            QVERIFY2(dark > 20, qPrintable(RadarMapRenderer::styleName(style)));
        }
    }

    void altitudeKey()
    {
        RadarMapSettings settings = plainSettings();
        RadarMapRenderer renderer;
        const QSize size(500, 300);
        const auto keyDots = [&](const QImage &image) {
            // The key's dots sit in one row above the bottom margin, in the band colours.
            int found = 0;
            for (const auto &band : AltitudeColors::bands()) {
                bool seen = false;
                for (int y = 200; y < 300 && !seen; ++y)
                    for (int x = 0; x < 400 && !seen; ++x)
                        seen = difference(image.pixelColor(x, y), band.color) < 10;
                found += seen;
            }
            return found;
        };
        QCOMPARE(keyDots(render(renderer, {}, settings, cameraAt(here, 5, size), size)), 0);
        settings.colorByAltitude = true;
        QCOMPARE(keyDots(render(renderer, {}, settings, cameraAt(here, 5, size), size)), 5);
    }

    void graticuleWithoutTiles()
    {
        RadarMapSettings settings = plainSettings();
        settings.palette = plainPalette(Qt::black);
        RadarMapRenderer renderer;
        // At zoom 8 the lines are half a degree apart; the equator and the prime meridian run
        // through the middle.
        const QImage image =
            render(renderer, {}, settings, cameraAt({ 0, 0 }, 8, { 400, 400 }), { 400, 400 });
        const auto darkestNear = [&](int x, int y, bool vertical) {
            int darkest = 255;
            for (int d = -2; d <= 2; ++d)
                darkest = std::min(darkest,
                    image.pixelColor(vertical ? x + d : x, vertical ? y : y + d).lightness());
            return darkest;
        };
        QVERIFY(darkestNear(200, 150, true) < background.lightness() - 10);
        QVERIFY(darkestNear(150, 200, false) < background.lightness() - 10);
        const double halfDegree = Mercator::worldSize(8) / 720.0;
        QVERIFY(darkestNear(200 + int(halfDegree), 150, true) < background.lightness() - 10);
        COMPARE_COLOR(image.pixelColor(150, 150), background, 1);
    }

    void cameraFarOffTheGlobe_data()
    {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::newRow("longitude 1e16") << 45.0 << 1e16;
        QTest::newRow("latitude 1e308") << 1e308 << 0.0;
        QTest::newRow("both huge") << -1e300 << -1e300;
    }

    void cameraFarOffTheGlobe()
    {
        // Such a centre must never reach the map, but if it does, painting still ends.
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        RadarMapSettings settings = plainSettings();
        settings.palette = plainPalette(Qt::black);
        RadarMapRenderer renderer;
        const LatLon centre { latitude, longitude };
        const QImage image =
            render(renderer, {}, settings, cameraAt(centre, 8, { 400, 400 }), { 400, 400 });
        // The plain background is drawn (the render started on magenta).
        QVERIFY(image.pixelColor(3, 3) != QColor(Qt::magenta));
        QCOMPARE(Mercator::tileRange(centre, 8, { 400, 400 }, 8).count() <= 9, true);
    }

    void accessibilityText()
    {
        Aircraft aircraft = plane();
        aircraft.flight = u"UAL123  "_s;
        aircraft.altBaro = Altitude::feet(12500);
        aircraft.distanceNM = 10.0;
        aircraft.squawk = u"7700"_s;
        aircraft.dbFlags = 1;
        QCOMPARE(RadarMapRenderer::accessibilityText(aircraft, u"nm"_s),
            u"UAL123, 12,500 ft, 10.0 nm, emergency, military"_s);
        aircraft.distanceNM.reset();
        aircraft.squawk.reset();
        aircraft.dbFlags.reset();
        QCOMPARE(RadarMapRenderer::accessibilityText(aircraft, u"nm"_s), u"UAL123, 12,500 ft"_s);
    }

    // Tiles

    void tilesLoadOnceAndDraw()
    {
        m_server->setPrefixReply(u"/osm/"_s, tileReply(QColor(30, 160, 60)));
        TileSource *tiles = newTileSource();
        RadarMapRenderer renderer(tiles);
        RadarMapSettings settings = plainSettings();

        QImage first = render(renderer, {}, settings, tileCamera(), tileCanvas);
        COMPARE_COLOR(first.pixelColor(300, 150), background, 1);
        waitIdle(tiles);
        QCOMPARE(m_server->requestCount(u"/osm/3/"_s), 8);
        const TestServer::Request request = m_server->requests().first();
        QCOMPARE(request.headers.value("user-agent"), tileServices().userAgent());
        QCOMPARE(tiles->memoryCount(), 8);

        for (int round = 0; round < 2; ++round) {
            const QImage again = render(renderer, {}, settings, tileCamera(), tileCanvas);
            COMPARE_COLOR(again.pixelColor(300, 150), QColor(30, 160, 60), 0);
            COMPARE_COLOR(again.pixelColor(5, 295), QColor(30, 160, 60), 0);
        }
        QTest::qWait(50);
        QCOMPARE(m_server->requestCount(), 8);
    }

    void denseScreensTakeTheNextLevel()
    {
        m_server->setPrefixReply(u"/osm/"_s, tileReply(QColor(30, 160, 60)));
        TileSource *tiles = newTileSource();
        RadarMapRenderer renderer(tiles);
        const auto renderDense = [&] {
            QImage image(tileCanvas * 2, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(2);
            image.fill(Qt::magenta);
            QPainter painter(&image);
            renderer.render(
                &painter, QRectF(QPointF(0, 0), tileCanvas), tileCamera(), {}, plainSettings());
            painter.end();
            return image;
        };
        renderDense();
        waitIdle(tiles);
        // Zoom 3 on a screen of ratio 2 asks for level 4: twice the tiles across.
        QVERIFY(m_server->requestCount(u"/osm/4/"_s) >= 16);
        QCOMPARE(m_server->requestCount(u"/osm/3/"_s), 0);
        const QImage image = renderDense();
        COMPARE_COLOR(image.pixelColor(600, 300), QColor(30, 160, 60), 0);
    }

    void diskCacheHonoursHeaders_data()
    {
        QTest::addColumn<Headers>("headers");
        QTest::addColumn<int>("refetched");
        QTest::newRow("no headers: kept a week") << Headers {} << 0;
        QTest::newRow("max-age a day") << Headers { { "Cache-Control", "max-age=86400" } } << 0;
        QTest::newRow("no-cache") << Headers { { "Cache-Control", "no-cache" } } << 8;
        const auto httpDate = [](const QDateTime &time) {
            return QLocale::c().toString(time, u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s).toLatin1();
        };
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QTest::newRow("already expired")
            << Headers { { "Date", httpDate(now) }, { "Expires", httpDate(now.addSecs(-3600)) } }
            << 8;
    }

    void diskCacheHonoursHeaders()
    {
        QFETCH(Headers, headers);
        QFETCH(int, refetched);
        TestServer::Reply reply = tileReply(QColor(30, 160, 60));
        reply.headers = headers;
        m_server->setPrefixReply(u"/osm/"_s, reply);
        {
            RadarMapRenderer renderer(newTileSource());
            render(renderer, {}, plainSettings(), tileCamera(), tileCanvas);
            waitIdle(m_tiles.get());
        }
        QCOMPARE(m_server->requestCount(), 8);
        m_server->clearRequests();

        // A new run: nothing in memory, the disk cache as left.
        TileSource *tiles = newTileSource();
        RadarMapRenderer renderer(tiles);
        render(renderer, {}, plainSettings(), tileCamera(), tileCanvas);
        waitIdle(tiles);
        QCOMPARE(m_server->requestCount(), refetched);
        // Whatever the server was asked, the tiles from the disk show.
        const QImage image = render(renderer, {}, plainSettings(), tileCamera(), tileCanvas);
        COMPARE_COLOR(image.pixelColor(300, 150), QColor(30, 160, 60), 0);
    }

    void badTilesLeaveTheGraticule_data()
    {
        QTest::addColumn<TestServer::Reply>("reply");
        TestServer::Reply error;
        error.status = 500;
        error.body = png(QColor(200, 0, 0));
        error.contentType = "image/png";
        QTest::newRow("HTTP 500") << error;
        TestServer::Reply garbage;
        garbage.body = "<html>not a picture</html>";
        garbage.contentType = "image/png";
        QTest::newRow("garbage body") << garbage;
        TestServer::Reply truncated = tileReply(QColor(200, 0, 0));
        truncated.truncate = true;
        QTest::newRow("truncated") << truncated;
        TestServer::Reply refused;
        refused.closeWithoutAnswer = true;
        QTest::newRow("closed without answer") << refused;
    }

    void badTilesLeaveTheGraticule()
    {
        QFETCH(TestServer::Reply, reply);
        m_server->setPrefixReply(u"/osm/"_s, reply);
        TileSource *tiles = newTileSource();
        RadarMapRenderer renderer(tiles);
        render(renderer, {}, plainSettings(), tileCamera(), tileCanvas);
        waitIdle(tiles);
        const int asked = m_server->requestCount();
        QVERIFY(asked >= 8);
        const QImage image = render(renderer, {}, plainSettings(), tileCamera(), tileCanvas);
        COMPARE_COLOR(image.pixelColor(300, 150), background, 1);
        QCOMPARE(tiles->memoryCount(), 0);
        // A failed tile rests before it is asked for again.
        QTest::qWait(50);
        QCOMPARE(m_server->requestCount(), asked);
        QCOMPARE(tiles->inFlightCount() + tiles->queuedCount(), 0);
    }

    void slowServerDoesNotBlock()
    {
        TestServer::Reply hang;
        hang.hang = true;
        m_server->setPrefixReply(u"/osm/"_s, hang);
        TileSource *tiles = newTileSource();
        tiles->setTransferTimeout(300);
        RadarMapRenderer renderer(tiles);
        QElapsedTimer clock;
        clock.start();
        const QImage image = render(renderer, {}, plainSettings(), tileCamera(), tileCanvas);
        QVERIFY(clock.elapsed() < 200);
        COMPARE_COLOR(image.pixelColor(300, 150), background, 1);
        QTRY_COMPARE(m_server->requestCount(), 2);
        // The time-out ends each pair; the queue moves on, two at a time, and nothing is shown.
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(), 8, 5000);
        waitIdle(tiles);
        QCOMPARE(tiles->memoryCount(), 0);
    }

    void twoRequestsPerHost()
    {
        m_server->setPrefixReply(u"/osm/"_s, tileReply(QColor(30, 160, 60), 200));
        QList<qint64> arrivals;
        QElapsedTimer clock;
        clock.start();
        connect(m_server.get(), &TestServer::requestReceived, this,
            [&] { arrivals << clock.elapsed(); });
        TileSource *tiles = newTileSource();
        RadarMapRenderer renderer(tiles);
        render(renderer, {}, plainSettings(), tileCamera(), tileCanvas);
        QTRY_COMPARE_WITH_TIMEOUT(arrivals.size(), 8, 5000);
        // The third can only start when the first has been answered, and so on.
        QVERIFY(arrivals[1] - arrivals[0] < 100);
        for (int i = 0; i + 2 < arrivals.size(); ++i)
            QVERIFY2(arrivals[i + 2] - arrivals[i] >= 170,
                qPrintable(QString::number(arrivals[i + 2] - arrivals[i])));
        waitIdle(tiles);
        QCOMPARE(tiles->memoryCount(), 8);
    }

    void tilesLeavingTheViewAreNotFetched()
    {
        m_server->setPrefixReply(u"/osm/"_s, tileReply(QColor(30, 160, 60), 200));
        TileSource *tiles = newTileSource();
        RadarMapRenderer renderer(tiles);
        render(renderer, {}, plainSettings(), tileCamera(), tileCanvas);
        QTRY_COMPARE(m_server->requestCount(), 2);
        // The user zooms far in elsewhere before the rest come.
        const Mercator::Camera elsewhere = cameraAt({ 45.0, 10.0 }, 9, tileCanvas);
        render(renderer, {}, plainSettings(), elsewhere, tileCanvas);
        const Mercator::Viewport viewport(QRectF(QPointF(0, 0), tileCanvas), elsewhere);
        QTRY_COMPARE_WITH_TIMEOUT(
            m_server->requestCount(u"/osm/9/"_s), viewport.tiles(9).count(), 5000);
        waitIdle(tiles);
        QCOMPARE(m_server->requestCount(u"/osm/3/"_s), 2);
        // The first of the new view asked for was its middle.
        const QString firstNew = m_server->requests().at(2).path;
        const QPointF middle = viewport.centreWorld() / std::exp2(viewport.zoom() - 9) / 256.0;
        QCOMPARE(firstNew, u"/osm/9/%1/%2.png"_s.arg(int(middle.x())).arg(int(middle.y())));
    }

    void parentTilesStandIn()
    {
        m_server->setPrefixReply(u"/osm/2/"_s, tileReply(QColor(200, 40, 40)));
        TestServer::Reply hang;
        hang.hang = true;
        m_server->setPrefixReply(u"/osm/3/"_s, hang);
        TileSource *tiles = newTileSource();
        RadarMapRenderer renderer(tiles);
        render(renderer, {}, plainSettings(), cameraAt({ 0, 0 }, 2, tileCanvas), tileCanvas);
        waitIdle(tiles);
        const QImage image = render(renderer, {}, plainSettings(), tileCamera(), tileCanvas);
        COMPARE_COLOR(image.pixelColor(300, 150), QColor(200, 40, 40), 0);
        COMPARE_COLOR(image.pixelColor(5, 5), QColor(200, 40, 40), 0);
    }

    void stylesDrawTheirLayers()
    {
        const QColor street(30, 160, 60);
        m_server->setPrefixReply(u"/osm/"_s, tileReply(street));
        m_server->setPrefixReply(u"/imagery/"_s, tileReply(QColor(20, 40, 90)));
        // Labels: white at half opacity.
        TestServer::Reply labels = tileReply(QColor(255, 255, 255, 128));
        m_server->setPrefixReply(u"/labels/"_s, labels);
        TileSource *tiles = newTileSource();
        RadarMapRenderer renderer(tiles);
        RadarMapSettings settings = plainSettings();
        const auto pixel = [&](RadarMapRenderer::Style style) {
            settings.mapStyleChoice = style;
            render(renderer, {}, settings, tileCamera(), tileCanvas);
            waitIdle(tiles);
            return render(renderer, {}, settings, tileCamera(), tileCanvas).pixelColor(300, 150);
        };
        using Style = RadarMapRenderer::Style;
        COMPARE_COLOR(pixel(Style::Standard), street, 0);
        const QColor muted = pixel(Style::Muted);
        QVERIFY2(muted.hslSaturation() < street.hslSaturation() / 2, qPrintable(muted.name()));
        QVERIFY2(muted.lightness() > street.lightness() + 20, qPrintable(muted.name()));
        COMPARE_COLOR(pixel(Style::Imagery), QColor(20, 40, 90), 0);
        COMPARE_COLOR(
            pixel(Style::Hybrid), over(QColor(255, 255, 255, 128), QColor(20, 40, 90)), 3);
        // Imagery and labels are addressed {z}/{y}/{x}.
        bool swapped = false;
        for (const auto &request : m_server->requests())
            swapped = swapped || request.path == u"/imagery/3/3/2"_s
                || request.path == u"/labels/3/4/5"_s;
        QVERIFY(swapped);
        QCOMPARE(tiles->url({ TileSource::Layer::Imagery, 3, 5, 4 }).path(), u"/imagery/3/4/5"_s);
    }

    // The view
};

QTEST_MAIN(TestMap)
#include "tst_map.moc"
