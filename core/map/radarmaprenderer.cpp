// SPDX-License-Identifier: GPL-3.0-or-later
#include "radarmaprenderer.h"

#include "aircraftcolors.h"
#include "altitudecolors.h"
#include "hexcolor.h"
#include "material.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QSemaphore>
#include <QThread>
#include <QtMath>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <ctime>
#include <limits>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RadarMapRenderer", text);
}

// Three box passes approximate a Gaussian blur; only the alpha of black matters here, and in
// premultiplied black every channel is the alpha.
void blurBlack(QImage &image, int radius)
{
    if (radius <= 0)
        return;
    const int width = image.width();
    const int height = image.height();
    std::vector<int> line(size_t(std::max(width, height)));
    const auto pass = [&](int count, int length, auto &&at) {
        for (int i = 0; i < count; ++i) {
            for (int j = 0; j < length; ++j)
                line[size_t(j)] = qAlpha(at(i, j));
            int sum = 0;
            for (int j = -radius; j <= radius; ++j)
                sum += line[size_t(std::clamp(j, 0, length - 1))];
            for (int j = 0; j < length; ++j) {
                at(i, j) = qRgba(0, 0, 0, sum / (2 * radius + 1));
                sum += line[size_t(std::min(j + radius + 1, length - 1))]
                    - line[size_t(std::max(j - radius, 0))];
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(height, width,
            [&](int y, int x) -> QRgb & { return reinterpret_cast<QRgb *>(image.scanLine(y))[x]; });
        pass(width, height,
            [&](int x, int y) -> QRgb & { return reinterpret_cast<QRgb *>(image.scanLine(y))[x]; });
    }
}

// A soft shadow of a disc, for markers and the home sign. @p painter paints on a sprite in
// device pixels with no transform; @p centre and @p diameter are device-independent.
void paintDiscShadow(QPainter *painter, const QPointF &centre, double diameter, double opacity,
    double blurRadius, qreal ratio)
{
    QImage shadow(painter->device()->width(), painter->device()->height(),
        QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter p(&shadow);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(ratio, ratio);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, int(std::lround(opacity * 255))));
        p.drawEllipse(centre, diameter / 2, diameter / 2);
    }
    blurBlack(shadow, int(std::lround(blurRadius * ratio / 2.0)));
    painter->drawImage(QPointF(0, 0), shadow);
}

// How many graticule lines from @p first to @p last, @p step apart; never more than a screen
// can show, and none when the bounds are not finite.
int lineCount(double first, double last, double step)
{
    constexpr double maxLines = 200.0;
    const double count = std::floor((last - first) / step) + 1.0;
    if (!std::isfinite(count) || count < 1.0)
        return 0;
    return int(std::min(count, maxLines));
}

QString graticuleLabel(double degrees, double step, bool latitude)
{
    const int decimals =
        step >= 1.0 ? 0 : (step >= 0.1 && std::fmod(step * 10.0, 1.0) < 1e-9 ? 1 : 2);
    const QChar hemisphere = latitude ? (degrees < 0 ? u'S' : u'N') : (degrees < 0 ? u'W' : u'E');
    const double value = std::abs(degrees) < 1e-9 ? 0.0 : std::abs(degrees);
    return QString::number(value, 'f', decimals) + u'°'
        + (value == 0.0 ? QString() : QString(hemisphere));
}

// A trail in its aircraft's colour, translucent.
QRgb trailColor(QRgb fill)
{
    QColor color = QColor::fromRgba(fill);
    color.setAlphaF(0.45f);
    return color.rgba();
}

// Marker glyphs are drawn turned in steps of this many degrees.
constexpr double angleStep = 3.0;

// Titles under the markers: room round the text for the halo, the space between disc and
// title, and the side of the grid cells that collision tests look through.
constexpr double labelPadding = 2.0;
constexpr double labelHalo = 1.5;
constexpr double labelGap = 1.0;
constexpr double labelCell = 64.0;

// Title ink and halo: light on dark over photographs, the palette's text on its base colour
// over drawn maps and the graticule.
std::pair<QColor, QColor> labelColors(MapStyle style, const QPalette &palette)
{
    if (style == MapStyle::Imagery || style == MapStyle::Hybrid)
        return { Qt::white, QColor(0, 0, 0, 191) };
    return { palette.color(QPalette::Text),
        SystemColors::withAlpha(palette.color(QPalette::Base), 0.85) };
}

} // namespace

RadarMapRenderer::RadarMapRenderer(TileSource *tiles)
    : m_tiles(tiles)
    , m_muted(192)
    , m_scaled(128)
{
    // The painting thread draws a band itself; the pool's threads draw the others.
    m_bandPool.setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 3));
    if (m_tiles)
        m_tileReady = QObject::connect(
            m_tiles, &TileSource::tileReady, m_tiles, [this] { ++m_tileGeneration; });
}

RadarMapRenderer::~RadarMapRenderer()
{
    QObject::disconnect(m_tileReady);
}

void RadarMapRenderer::invalidate(Layers layers)
{
    if (layers & Layer::Basemap)
        m_basemapKey.reset();
    if (layers & Layer::Trails)
        m_trailsKey.reset();
    if (layers & Layer::Markers)
        m_markersKey.reset();
}

bool RadarMapRenderer::TrailsKey::sameAs(const TrailsKey &other) const
{
    return frame == other.frame && aircraft.isSharedWith(other.aircraft)
        && trails.isSharedWith(other.trails) && planeColorHex == other.planeColorHex
        && colorByAltitude == other.colorByAltitude && showTrails == other.showTrails
        && trailWidth == other.trailWidth;
}

// Style table

QString RadarMapRenderer::styleName(Style style)
{
    switch (style) {
    case Style::Standard:
        break;
    case Style::Muted:
        return tr("Muted");
    case Style::Imagery:
        return tr("Satellite");
    case Style::Hybrid:
        return tr("Hybrid");
    }
    return tr("Standard");
}

QList<TileSource::Layer> RadarMapRenderer::layers(Style style)
{
    switch (style) {
    case Style::Standard:
    case Style::Muted:
        break;
    case Style::Imagery:
        return { TileSource::Layer::Imagery };
    case Style::Hybrid:
        return { TileSource::Layer::Imagery, TileSource::Layer::Overlay };
    }
    return { TileSource::Layer::Standard };
}

QString RadarMapRenderer::attribution(Style style)
{
    if (style == Style::Imagery || style == Style::Hybrid)
        return u"Tiles © Esri — Source: Esri, i-cubed, USDA, USGS, AEX, GeoEye, Getmapping, "
               "Aerogrid, IGN, IGP, UPR-EGP, and the GIS User Community"_s;
    return u"© OpenStreetMap contributors"_s;
}

QColor RadarMapRenderer::ringColor(Style style, const QPalette &palette)
{
    if (style == Style::Imagery || style == Style::Hybrid)
        return Qt::white;
    return SystemColors::blue(palette);
}

// Marker rules

QColor RadarMapRenderer::markerRingColor(const QColor &fillColor, bool strong)
{
    if (HexColor::isLight(fillColor))
        return QColor(0, 0, 0, strong ? 204 : 128);
    return QColor(255, 255, 255, strong ? 255 : 217);
}

double RadarMapRenderer::discDiameter(double scale, bool selected)
{
    return scale * (selected ? 30.0 : 24.0);
}

double RadarMapRenderer::ringWidth(bool highContrast, bool selected)
{
    return (highContrast ? 1.0 : 0.0) + (selected ? 2.5 : 1.5);
}

RadarMapRenderer::HaloRing RadarMapRenderer::haloRing(
    double diameter, double phase, bool reduceMotion)
{
    double scale = 1.7;
    double opacity = 0.4;
    double width = 3.0;
    if (!reduceMotion) {
        // Grows from the disc and fades, easing out, then starts over.
        const double left = 1.0 - std::clamp(phase, 0.0, 1.0);
        const double eased = 1.0 - left * left;
        scale = 1.0 + 1.8 * eased;
        opacity = 0.75 * (1.0 - eased);
        width = 2.5;
    }
    return { (diameter - width) / 2.0 * scale, width * scale, opacity };
}

double RadarMapRenderer::glyphSize(double scale, bool selected)
{
    return scale * (selected ? 15.0 : 12.0);
}

double RadarMapRenderer::glyphRotation(const Aircraft &aircraft)
{
    return aircraft.track ? *aircraft.track - 90.0 : 0.0;
}

RadarMapRenderer::Badge RadarMapRenderer::badge(const Aircraft &aircraft, bool showSymbols)
{
    if (!showSymbols)
        return Badge::None;
    if (aircraft.isEmergency())
        return Badge::Exclamation;
    if (aircraft.isMilitary())
        return Badge::Star;
    return Badge::None;
}

QList<RadarMapRenderer::TrailSegment> RadarMapRenderer::trailSegments(
    const RadarMapScene &scene, const RadarMapSettings &settings)
{
    QList<TrailSegment> segments;
    if (!settings.showTrails)
        return segments;
    const QColor plane = AircraftColors::planeColor(settings.planeColorHex);
    for (const Aircraft &aircraft : scene.aircraft) {
        const auto trail = scene.trails.constFind(aircraft.hex);
        if (trail == scene.trails.cend() || trail->size() < 2)
            continue;
        segments.append({ u"trail-"_s + aircraft.hex, *trail,
            AircraftColors::fill(aircraft, settings.colorByAltitude, plane) });
    }
    return segments;
}

QString RadarMapRenderer::accessibilityText(const Aircraft &aircraft, const QString &distanceUnit)
{
    QStringList parts { aircraft.displayName(), aircraft.altitudeText() };
    if (const auto distance = aircraft.distanceText(distanceUnit, false))
        parts << *distance;
    if (aircraft.isEmergency())
        parts << tr("emergency");
    if (aircraft.isMilitary())
        parts << tr("military");
    return parts.join(u", "_s);
}

QFont RadarMapRenderer::labelFont()
{
    return TextStyle::pixelFont(QFont(), 11, QFont::DemiBold);
}

QString RadarMapRenderer::altitudeKeyDescription()
{
    return tr("Altitude colors: orange below 2,000 feet, yellow to 10,000, green to 20,000, "
              "cyan to 30,000, violet above");
}

// Painting

namespace {

double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The rows of one band of the layers, and about how many bytes of each layer that is.
constexpr int minimumBandRows = 16;
constexpr qsizetype bandBytes = 256 * 1024;

} // namespace

void RadarMapRenderer::render(QPainter *painter, const QRectF &rect, const Mercator::Camera &camera,
    const RadarMapScene &scene, const RadarMapSettings &settings, const QRectF &exposed)
{
    const Mercator::Viewport viewport(rect, camera);
    m_exposed = exposed.isValid() ? exposed.intersected(rect) : rect;
    const Style mapStyle = settings.mapStyleChoice;
    m_timings = {};
    if (!m_caching)
        invalidate(Layer::Basemap | Layer::Trails | Layer::Markers);

    Frame frame { rect, camera, painter->device()->devicePixelRatioF(), {}, {} };
    const qreal ratio = frame.ratio;
    // The layers cover the view on whole device pixels.
    frame.origin =
        QPointF(std::floor(rect.left() * ratio) / ratio, std::floor(rect.top() * ratio) / ratio);
    frame.pixels = QSize(int(std::ceil((rect.right() - frame.origin.x()) * ratio)),
        int(std::ceil((rect.bottom() - frame.origin.y()) * ratio)));
    if (frame.pixels.isEmpty())
        return;

    const double processorAtStart = threadMilliseconds();
    QElapsedTimer clock;
    clock.start();
    qint64 started = 0;
    const auto lap = [&](double &into) {
        const qint64 now = clock.nsecsElapsed();
        into += double(now - started) / 1e6;
        started = now;
    };
    const std::optional<SpriteCanvas::Start> trails =
        updateTrails(viewport, frame, scene, settings);
    const std::optional<SpriteCanvas::Start> markers =
        updateMarkers(viewport, frame, scene, settings);
    lap(m_timings.markers);
    updateBasemap(viewport, frame, scene, settings);
    lap(m_timings.basemap);
    if (m_projecting) {
        m_projected.acquire();
        m_projecting = false;
        m_timings.trails = m_projectionTime;
        m_timings.processor += m_projectionTime;
    }
    if (markers)
        strokeTails(viewport, frame);
    if (trails || markers)
        drawLayers(frame, trails, markers);
    lap(m_timings.drawing);

    painter->save();
    // Within the caller's clip, which may be the part it repaints.
    painter->setClipRect(rect, Qt::IntersectClip);
    compose(painter, frame, m_basemap, m_basemap.rect());
    if (!m_canvas.isEmpty())
        compose(painter, frame, m_canvas.image(), m_canvas.dirty());
    painter->setRenderHint(QPainter::Antialiasing);
    paintSelection(painter, frame, scene, settings);
    if (settings.colorByAltitude && altitudeKeyRect(rect, settings).intersects(m_exposed))
        paintAltitudeKey(painter, rect, settings);
    // Eliding the text takes a layout of it: worked out again only when its room changes.
    if (!m_attribution || m_attributionRect != rect || m_attributionStyle != mapStyle
        || m_attributionMargin != settings.attributionRightMargin) {
        m_attribution = attributionLine(rect, mapStyle, settings);
        m_attributionRect = rect;
        m_attributionStyle = mapStyle;
        m_attributionMargin = settings.attributionRightMargin;
    }
    if (m_attribution->box.intersects(m_exposed))
        paintAttribution(painter, *m_attribution, settings.palette);
    painter->restore();
    lap(m_timings.compose);
    m_timings.processor += threadMilliseconds() - processorAtStart;
}

void RadarMapRenderer::drawLayers(const Frame &frame,
    const std::optional<SpriteCanvas::Start> &trails,
    const std::optional<SpriteCanvas::Start> &markers)
{
    // Bands small enough that both layers' rows stay in the processor's cache while each band
    // draws its trails, lays them under its markers and draws those.
    const qsizetype rowBytes = qsizetype(frame.pixels.width()) * 4;
    const int bandRows = int(std::clamp<qsizetype>(
        bandBytes / std::max<qsizetype>(rowBytes, 1), minimumBandRows, 4 * minimumBandRows));
    const int rows = frame.pixels.height();
    const int count = std::max(1, (rows + bandRows - 1) / bandRows);
    m_trailBands.resize(size_t(count));
    m_markerBands.resize(size_t(count));
    std::atomic<int> next = 0;
    const auto drawBands = [&] {
        for (int i = next++; i < count; i = next++) {
            const int top = i * bandRows;
            const int bottom = std::min(rows, top + bandRows);
            SpriteCanvas &trailBand = m_trailBands[size_t(i)];
            SpriteCanvas &markerBand = m_markerBands[size_t(i)];
            trailBand.viewBand(m_trailCanvas, top, bottom);
            markerBand.viewBand(m_canvas, top, bottom);
            if (trails) {
                trailBand.prepare(*trails);
                drawTrails(trailBand);
            }
            if (markers) {
                // Trails drawn just now lie where this band drew them.
                SpriteCanvas::Start start = *markers;
                if (trails)
                    start.copied = trailBand.dirty();
                markerBand.prepare(start);
                drawMarkers(markerBand, frame);
            }
        }
    };
    const int helpers = std::min(count - 1, m_bandPool.maxThreadCount());
    QSemaphore done;
    std::vector<double> processor(size_t(helpers), 0.0);
    for (int i = 0; i < helpers; ++i) {
        m_bandPool.start([&, i] {
            const double started = threadMilliseconds();
            drawBands();
            processor[size_t(i)] = threadMilliseconds() - started;
            done.release();
        });
    }
    drawBands();
    done.acquire(helpers);
    for (int i = 0; i < count; ++i) {
        if (trails)
            m_trailCanvas.include(m_trailBands[size_t(i)]);
        if (markers)
            m_canvas.include(m_markerBands[size_t(i)]);
    }
    for (const double spent : processor)
        m_timings.processor += spent;
}

void RadarMapRenderer::drawTrails(SpriteCanvas &band) const
{
    const double width = m_trailPixels;
    for (const TrailRun &run : m_trailOrder) {
        // In order of their top row.
        if (run.top - width > band.endRow())
            break;
        if (run.bottom + width < band.firstRow())
            continue;
        band.strokePolyline(m_trailPoints.data() + run.first, int(run.count), width,
            trailColor(m_fills[size_t(run.index)]));
    }
}

void RadarMapRenderer::drawMarkers(SpriteCanvas &band, const Frame &frame) const
{
    const double width = m_trailPixels;
    for (const TailStroke &tail : m_tailStrokes) {
        if (std::max(tail.from.y(), tail.to.y()) + width < band.firstRow()
            || std::min(tail.from.y(), tail.to.y()) - width > band.endRow())
            continue;
        const QPointF points[] = { tail.from, tail.to };
        band.strokePolyline(points, 2, width, tail.color);
    }
    const auto drawSprites = [&](const std::vector<Placed> &placed) {
        // In order of their rows.
        for (const Placed &marker : placed) {
            const SpriteCanvas::Sprite &sprite = *m_markerSprites[size_t(marker.index)];
            const QPointF device = (marker.point - frame.origin) * frame.ratio;
            const QPoint topLeft(int(std::lround(device.x() - sprite.width() / 2.0)),
                int(std::lround(device.y() - sprite.height() / 2.0)));
            if (topLeft.y() >= band.endRow())
                break;
            if (topLeft.y() + sprite.height() > band.firstRow())
                band.drawSprite(sprite, topLeft);
        }
    };
    // Titles lie over the ordinary markers and under the ones that must not be hidden.
    const auto drawLabels = [&](Stack layer) {
        for (size_t i = 0; i < m_labels.size(); ++i) {
            if (m_labels[i].layer != layer || !m_labelDrawn[i])
                continue;
            const QPointF device = (m_labels[i].rect.topLeft() - frame.origin) * frame.ratio;
            band.drawSprite(*m_labelDrawn[i],
                QPoint(int(std::lround(device.x())), int(std::lround(device.y()))));
        }
    };
    drawSprites(m_placed);
    drawLabels(Stack::Ordinary);
    drawSprites(m_onTop);
    drawLabels(Stack::Emergency);
}

void RadarMapRenderer::compose(
    QPainter *painter, const Frame &frame, const QImage &layer, const QRect &drawn) const
{
    const QRect source =
        QRectF((m_exposed.topLeft() - frame.origin) * frame.ratio, m_exposed.size() * frame.ratio)
            .toAlignedRect()
            .intersected(drawn)
            .intersected(layer.rect());
    if (source.isEmpty())
        return;
    // Whole device pixels onto whole device pixels: a copy, never a resampling.
    painter->drawImage(frame.origin + QPointF(source.topLeft()) / frame.ratio, layer, source);
}

void RadarMapRenderer::updateBasemap(const Mercator::Viewport &viewport, const Frame &frame,
    const RadarMapScene &scene, const RadarMapSettings &settings)
{
    BasemapKey key { frame, settings.mapStyleChoice, settings.palette, scene.home, scene.radiusNM };
    if (m_basemapKey && *m_basemapKey == key && m_basemap.size() == frame.pixels) {
        if (m_basemapComplete)
            return;
        // Tiles that were missing are still asked for, every frame, as they were when drawn.
        askForTiles(viewport, key.style, frame.ratio);
        if (m_basemapGeneration == m_tileGeneration)
            return;
    }
    if (m_basemap.size() != frame.pixels)
        m_basemap = QImage(frame.pixels, QImage::Format_RGB32);
    m_basemap.setDevicePixelRatio(frame.ratio);
    m_basemapGeneration = m_tileGeneration;
    QPainter painter(&m_basemap);
    painter.translate(-frame.origin);
    m_basemapComplete = paintBasemap(&painter, viewport, key.style, settings.palette);
    painter.setRenderHint(QPainter::Antialiasing);
    if (scene.home)
        paintHome(&painter, frame, viewport, scene, key.style, settings.palette);
    painter.end();
    m_basemapKey = std::move(key);
}

void RadarMapRenderer::askForTiles(const Mercator::Viewport &viewport, Style style, qreal ratio)
{
    if (!m_tiles)
        return;
    const int level =
        Mercator::tileZoomFor(viewport.zoom() + std::log2(std::max<qreal>(1.0, ratio)));
    m_tiles->beginFrame();
    for (const TileSource::Layer layer : RadarMapRenderer::layers(style))
        placeTiles(viewport, layer, level);
    m_tiles->endFrame();
}

bool RadarMapRenderer::paintBasemap(
    QPainter *painter, const Mercator::Viewport &viewport, Style style, const QPalette &palette)
{
    // Beyond the poles of the tiles, or where a tile is missing, the page shows.
    const QRectF &rect = viewport.rect();
    const bool beyondPoles = viewport.toScreen({ Mercator::maxLatitude, 0.0 }).y() > rect.top()
        || viewport.toScreen({ -Mercator::maxLatitude, 0.0 }).y() < rect.bottom();
    if (!m_tiles) {
        painter->fillRect(rect, palette.color(QPalette::Base));
        paintGraticule(painter, viewport, palette);
        return true;
    }
    // On a dense screen the next level down has the pixels the screen can show, so the
    // basemap is as sharp as the markers.
    const qreal ratio = std::max<qreal>(1.0, painter->device()->devicePixelRatioF());
    const int level = Mercator::tileZoomFor(viewport.zoom() + std::log2(ratio));
    const QList<TileSource::Layer> layers = RadarMapRenderer::layers(style);
    m_tiles->beginFrame();
    std::vector<std::vector<PlacedTile>> placed;
    for (const TileSource::Layer layer : layers)
        placed.push_back(placeTiles(viewport, layer, level));
    m_tiles->endFrame();
    const auto isComplete = [](const std::vector<PlacedTile> &tiles) {
        return std::all_of(tiles.cbegin(), tiles.cend(),
            [](const PlacedTile &tile) { return !tile.image.isNull(); });
    };
    // The graticule only shows through gaps of the (opaque) base layer.
    if (!isComplete(placed.front()) || beyondPoles) {
        painter->fillRect(rect, palette.color(QPalette::Base));
        paintGraticule(painter, viewport, palette);
    }
    for (size_t i = 0; i < placed.size(); ++i)
        paintTiles(painter, placed[i], layers[qsizetype(i)], level, style == Style::Muted);
    return std::all_of(placed.cbegin(), placed.cend(), isComplete);
}

void RadarMapRenderer::paintGraticule(
    QPainter *painter, const Mercator::Viewport &viewport, const QPalette &palette) const
{
    const QRectF &rect = viewport.rect();
    const double pixelsPerDegree = Mercator::worldSize(viewport.zoom()) / 360.0;
    // The finest step that keeps lines at least this far apart.
    constexpr double minimumSpacing = 90.0;
    constexpr double steps[] = { 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 45 };
    double step = 90.0;
    for (const double candidate : steps) {
        if (candidate * pixelsPerDegree >= minimumSpacing) {
            step = candidate;
            break;
        }
    }
    const LatLon centre = viewport.toCoordinate(rect.center());
    const double west = centre.longitude - rect.width() / 2.0 / pixelsPerDegree;
    const double east = centre.longitude + rect.width() / 2.0 / pixelsPerDegree;
    const double north =
        std::min(viewport.toCoordinate(rect.topLeft()).latitude, Mercator::maxLatitude);
    const double south =
        std::max(viewport.toCoordinate(rect.bottomLeft()).latitude, -Mercator::maxLatitude);

    QColor line = palette.color(QPalette::Text);
    const QColor label = SystemColors::withAlpha(line, 0.45);
    line = SystemColors::withAlpha(line, 0.12);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(line, 0));
    painter->setFont(TextStyle::pixelFont(QFont(), 10));
    const QFontMetricsF metrics(painter->font());

    // Lines are counted rather than stepped to the edge: far from zero a step can vanish in
    // rounding, and a loop on "lon += step" would never end.
    const double firstLon = std::ceil(west / step) * step;
    const int lonLines = lineCount(firstLon, east, step);
    for (int i = 0; i < lonLines; ++i) {
        const double lon = firstLon + i * step;
        const double x = rect.center().x() + (lon - centre.longitude) * pixelsPerDegree;
        painter->setPen(QPen(line, 0));
        painter->drawLine(QPointF(x, rect.top()), QPointF(x, rect.bottom()));
        painter->setPen(label);
        painter->drawText(QPointF(x + 3, rect.top() + metrics.ascent() + 3),
            graticuleLabel(std::remainder(lon, 360.0), step, false));
    }
    const double firstLat = std::ceil(south / step) * step;
    const int latLines = lineCount(firstLat, north, step);
    for (int i = 0; i < latLines; ++i) {
        const double lat = firstLat + i * step;
        const double y = viewport.toScreen({ lat, centre.longitude }).y();
        painter->setPen(QPen(line, 0));
        painter->drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
        // The bottom edge belongs to the controls and the attribution.
        if (y > rect.bottom() - 40.0)
            continue;
        painter->setPen(label);
        painter->drawText(QPointF(rect.left() + 3, y - 3), graticuleLabel(lat, step, true));
    }
    painter->restore();
}

std::vector<RadarMapRenderer::PlacedTile> RadarMapRenderer::placeTiles(
    const Mercator::Viewport &viewport, TileSource::Layer layer, int level)
{
    const double side = Mercator::tileSize * std::exp2(viewport.zoom() - level);
    // The screen point of the world's origin.
    const QPointF origin = viewport.rect().center() - viewport.centreWorld();
    const Mercator::TileRange range = viewport.tiles(level);
    const QPointF middle = viewport.rect().center();

    std::vector<std::pair<double, PlacedTile>> slots;
    slots.reserve(size_t(range.count()));
    for (int y = range.firstY; y <= range.lastY; ++y) {
        for (int x = range.firstX; x <= range.lastX; ++x) {
            // Edges on whole pixels, shared by neighbours, so no seams show between tiles.
            const double left = std::round(origin.x() + x * side);
            const double top = std::round(origin.y() + y * side);
            const QRectF target(left, top, std::round(origin.x() + (x + 1) * side) - left,
                std::round(origin.y() + (y + 1) * side) - top);
            const QPointF offset = target.center() - middle;
            slots.push_back({ offset.x() * offset.x() + offset.y() * offset.y(),
                PlacedTile { target, {}, Mercator::wrapTileX(x, level), y } });
        }
    }
    // The middle of the view is asked for, and so loads, first.
    std::sort(
        slots.begin(), slots.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<PlacedTile> tiles;
    tiles.reserve(slots.size());
    for (auto &[distance, tile] : slots) {
        tile.image = m_tiles->tile(layer, level, tile.x, tile.y);
        if (tile.target.intersects(viewport.rect()))
            tiles.push_back(std::move(tile));
    }
    return tiles;
}

void RadarMapRenderer::paintTiles(QPainter *painter, const std::vector<PlacedTile> &tiles,
    TileSource::Layer layer, int level, bool muted)
{
    for (const PlacedTile &tile : tiles) {
        if (!tile.image.isNull())
            paintTile(painter, tile.target, muted ? mutedTile(tile.image) : tile.image);
        else
            paintStandIn(painter, tile.target, layer, level, tile.x, tile.y, muted);
    }
}

void RadarMapRenderer::paintTile(QPainter *painter, const QRectF &target, const QImage &image)
{
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QSize size = (target.size() * ratio).toSize();
    if (size == image.size() && painter->transform().isIdentity()) {
        painter->drawImage(target.topLeft(), image);
        return;
    }
    // Between whole levels tiles are drawn enlarged or reduced; smooth scaling is dear, so
    // the scaled picture is kept while the zoom stays.
    const ScaledKey key { image.cacheKey(), size };
    if (const QImage *scaled = m_scaled.object(key)) {
        painter->drawImage(target.topLeft(), *scaled);
        return;
    }
    QImage scaled = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    painter->drawImage(target.topLeft(), scaled);
    m_scaled.insert(key, new QImage(std::move(scaled)));
}

void RadarMapRenderer::paintStandIn(QPainter *painter, const QRectF &target,
    TileSource::Layer layer, int z, int x, int y, bool muted)
{
    // While a level loads, the level above stands in, enlarged.
    for (int up = 1; up <= 4 && z - up >= 0; ++up) {
        QImage parent = m_tiles->cachedTile(layer, z - up, x >> up, y >> up);
        if (parent.isNull())
            continue;
        if (muted)
            parent = mutedTile(parent);
        const int mask = (1 << up) - 1;
        const double part = double(parent.width()) / (1 << up);
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(
            target, parent, QRectF((x & mask) * part, (y & mask) * part, part, part));
        painter->restore();
        return;
    }
    // Zooming out, the level below is usually there.
    if (z >= Mercator::maxTileZoom)
        return;
    for (int child = 0; child < 4; ++child) {
        const int dx = child & 1;
        const int dy = child >> 1;
        QImage image = m_tiles->cachedTile(layer, z + 1, 2 * x + dx, 2 * y + dy);
        if (image.isNull())
            continue;
        if (muted)
            image = mutedTile(image);
        const QSizeF half = target.size() / 2.0;
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(
            QRectF(target.topLeft() + QPointF(dx * half.width(), dy * half.height()), half), image);
        painter->restore();
    }
}

QImage RadarMapRenderer::mutedTile(const QImage &tile)
{
    if (const QImage *done = m_muted.object(tile.cacheKey()))
        return *done;
    // Mostly grey, and lighter, so that markers stand out; premultiplied, so "white" is alpha.
    QImage muted = tile.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < muted.height(); ++y) {
        auto *pixel = reinterpret_cast<QRgb *>(muted.scanLine(y));
        for (int x = 0; x < muted.width(); ++x) {
            const int a = qAlpha(pixel[x]);
            const int grey =
                (qRed(pixel[x]) * 77 + qGreen(pixel[x]) * 150 + qBlue(pixel[x]) * 29) >> 8;
            const auto mute = [&](int c) {
                const int desaturated = (c + 3 * grey) / 4;
                return desaturated + (a - desaturated) * 2 / 5;
            };
            pixel[x] =
                qRgba(mute(qRed(pixel[x])), mute(qGreen(pixel[x])), mute(qBlue(pixel[x])), a);
        }
    }
    if (!tile.hasAlphaChannel())
        muted.convertTo(QImage::Format_RGB32);
    m_muted.insert(tile.cacheKey(), new QImage(muted));
    return muted;
}

void RadarMapRenderer::paintHome(QPainter *painter, const Frame &frame,
    const Mercator::Viewport &viewport, const RadarMapScene &scene, Style style,
    const QPalette &palette)
{
    const LatLon home { scene.home->latitude, scene.home->longitude };
    const double radius = Mercator::ringRadiusMetres(scene.radiusNM);
    QPolygonF ring;
    constexpr int points = 180;
    ring.reserve(points);
    for (int i = 0; i < points; ++i)
        ring << viewport.toScreen(Mercator::destination(home, i * 360.0 / points, radius));
    const QColor color = ringColor(style, palette);
    // The faint fill spans most of the view: filled without antialiasing, which costs a
    // fraction, since the outline covers its edge anyway.
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(Qt::NoPen);
    painter->setBrush(SystemColors::withAlpha(color, 0.05));
    painter->drawPolygon(ring);
    painter->restore();
    // The outline is stamped as the trails are: a pen on the painter cost more than all the
    // rest of the basemap.
    std::vector<QPointF> outline;
    outline.reserve(size_t(points) + 1);
    for (const QPointF &point : std::as_const(ring))
        outline.push_back((point - frame.origin) * frame.ratio);
    outline.push_back(outline.front());
    m_ringCanvas.reset(frame.pixels, frame.ratio);
    m_ringCanvas.strokePolyline(outline.data(), int(outline.size()), 1.5 * frame.ratio,
        SystemColors::withAlpha(color, 0.5).rgba());
    const QRect drawn = m_ringCanvas.dirty();
    if (!drawn.isEmpty())
        painter->drawImage(
            frame.origin + QPointF(drawn.topLeft()) / frame.ratio, m_ringCanvas.image(), drawn);

    const qreal ratio = painter->device()->devicePixelRatioF();
    const QImage &sign = homeImage(SystemColors::blue(palette), ratio);
    const QPointF centre = viewport.toScreen(home);
    const QSizeF size = sign.deviceIndependentSize();
    painter->drawImage(centre - QPointF(size.width() / 2, size.height() / 2), sign);
}

const QImage &RadarMapRenderer::homeImage(const QColor &disc, qreal ratio)
{
    if (!m_home.isNull() && m_homeColor == disc.rgba() && m_home.devicePixelRatio() == ratio)
        return m_home;
    // The "house.circle.fill" sign at title size: white house on a blue disc.
    constexpr double diameter = 22.0;
    constexpr double margin = 5.0;
    constexpr double side = diameter + 2 * margin;
    const int pixels = int(std::ceil(side * ratio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(pixels / ratio / 2.0, pixels / ratio / 2.0);
    paintDiscShadow(&p, centre, diameter, 0.33, 2.0, ratio);
    p.scale(ratio, ratio);
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(centre, diameter / 2, diameter / 2);
    const double glyph = diameter * 0.62;
    Symbols::paint(&p, u"house.fill"_s,
        QRectF(centre - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph)), Qt::white);
    p.end();
    image.setDevicePixelRatio(ratio);
    m_home = image;
    m_homeColor = disc.rgba();
    return m_home;
}

std::optional<SpriteCanvas::Start> RadarMapRenderer::updateTrails(
    const Mercator::Viewport &viewport, const Frame &frame, const RadarMapScene &scene,
    const RadarMapSettings &settings)
{
    TrailsKey key { frame, scene.aircraft, scene.trails, settings.planeColorHex,
        settings.colorByAltitude, settings.showTrails, settings.trailWidth };
    if (m_trailsKey && m_trailsKey->sameAs(key))
        return std::nullopt;
    ++m_trailsGeneration;
    const SpriteCanvas::Start start = m_trailCanvas.restart(frame.pixels, frame.ratio);
    const QColor plane = AircraftColors::planeColor(settings.planeColorHex);
    m_fills.clear();
    m_stacks.clear();
    for (const Aircraft &aircraft : scene.aircraft) {
        m_fills.push_back(AircraftColors::fill(aircraft, settings.colorByAltitude, plane).rgba());
        m_stacks.push_back(aircraft.isEmergency() ? Stack::Emergency : Stack::Ordinary);
    }
    // Titles and marker pictures are looked up once per answer, not once per glide step.
    m_labelTexts.assign(size_t(scene.aircraft.size()), {});
    m_markerSprites.assign(size_t(scene.aircraft.size()), nullptr);
    m_tails.clear();
    m_trailOrder.clear();
    m_trailPixels = settings.trailWidth * frame.ratio;
    if (settings.showTrails) {
        // On another thread, while this one places the markers and paints the basemap.
        m_projecting = true;
        m_bandPool.start([this, &viewport, &scene, frame] {
            const double started = threadMilliseconds();
            projectTrails(viewport, scene, frame);
            m_projectionTime = threadMilliseconds() - started;
            m_projected.release();
        });
    }
    m_trailsKey = std::move(key);
    return start;
}

void RadarMapRenderer::strokeTails(const Mercator::Viewport &viewport, const Frame &frame)
{
    m_tailStrokes.clear();
    for (const Tail &tail : m_tails) {
        QPointF to = tail.to;
        if (const LatLon *drawn = m_drawnAt[size_t(tail.index)]; tail.followsMarker && drawn)
            to = (viewport.toScreen(*drawn) - frame.origin) * frame.ratio;
        m_tailStrokes.push_back({ tail.from, to, trailColor(m_fills[size_t(tail.index)]) });
    }
}

void RadarMapRenderer::projectTrails(
    const Mercator::Viewport &viewport, const RadarMapScene &scene, const Frame &frame)
{
    const QPointF &origin = frame.origin;
    const qreal ratio = frame.ratio;
    ++m_frame;
    const double width = m_trailPixels;
    const QRectF bounds =
        QRectF(QPointF(0, 0), m_trailCanvas.image().size()).adjusted(-width, -width, width, width);
    m_trailPoints.clear();
    for (int index = 0; index < scene.aircraft.size(); ++index) {
        const Aircraft &aircraft = scene.aircraft[index];
        const auto trail = scene.trails.constFind(aircraft.hex);
        if (trail == scene.trails.cend() || trail->size() < 2)
            continue;
        ProjectedTrail &projected = m_projectedTrails[aircraft.hex];
        if (projected.data != trail->constData() || projected.size != trail->size()
            || !(projected.last == trail->last())) {
            projected.unit.clear();
            for (const LatLon &point : *trail)
                projected.unit.push_back(Mercator::projectUnit(point));
            projected.data = trail->constData();
            projected.size = trail->size();
            projected.last = trail->last();
        }
        projected.frame = m_frame;

        const size_t first = m_trailPoints.size();
        double left = 1e30, right = -1e30, top = 1e30, bottom = -1e30;
        for (const QPointF &unit : projected.unit) {
            const QPointF device = (viewport.unitToScreen(unit) - origin) * ratio;
            left = std::min(left, device.x());
            right = std::max(right, device.x());
            top = std::min(top, device.y());
            bottom = std::max(bottom, device.y());
            m_trailPoints.push_back(device);
        }
        // The last segment goes with the markers: a gliding marker pulls the end of its trail
        // along with it, from about where the segment starts.
        const size_t count = m_trailPoints.size() - first;
        const Tail tail { index, m_trailPoints[first + count - 2], m_trailPoints.back(),
            aircraft.coordinate() == trail->last() };
        const double span =
            std::max(std::abs(tail.to.x() - tail.from.x()), std::abs(tail.to.y() - tail.from.y()));
        if (std::max(tail.from.x(), tail.to.x()) + span >= bounds.left()
            && std::min(tail.from.x(), tail.to.x()) - span <= bounds.right()
            && std::max(tail.from.y(), tail.to.y()) + span >= bounds.top()
            && std::min(tail.from.y(), tail.to.y()) - span <= bounds.bottom())
            m_tails.push_back(tail);
        if (right < bounds.left() || left > bounds.right() || bottom < bounds.top()
            || top > bounds.bottom() || count < 3) {
            m_trailPoints.resize(first);
            continue;
        }
        m_trailOrder.push_back({ top, bottom, index, first, count - 1 });
    }
    // Row by row, which keeps the canvas memory at hand; where trails cross, the more opaque
    // one shows whatever the order.
    std::sort(m_trailOrder.begin(), m_trailOrder.end(), [](const TrailRun &a, const TrailRun &b) {
        return a.top < b.top || (a.top == b.top && a.index < b.index);
    });
    std::sort(m_tails.begin(), m_tails.end(), [](const Tail &a, const Tail &b) {
        const double top = std::min(a.from.y(), a.to.y());
        const double otherTop = std::min(b.from.y(), b.to.y());
        return top < otherTop || (top == otherTop && a.index < b.index);
    });
    // Forget the trails of aircraft that have gone.
    if (m_projectedTrails.size() > 2 * scene.trails.size() + 64) {
        for (auto it = m_projectedTrails.begin(); it != m_projectedTrails.end();) {
            if (it->frame != m_frame)
                it = m_projectedTrails.erase(it);
            else
                ++it;
        }
    }
}

std::optional<SpriteCanvas::Start> RadarMapRenderer::updateMarkers(
    const Mercator::Viewport &viewport, const Frame &frame, const RadarMapScene &scene,
    const RadarMapSettings &settings)
{
    const auto [ink, halo] = labelColors(settings.mapStyleChoice, settings.palette);
    MarkersKey key { m_trailsGeneration, scene.drawnPositions, scene.selectedHex,
        int(std::lround(settings.markerScale * 100.0)), settings.increaseContrast,
        settings.differentiateWithoutColor, ink.rgba(), halo.rgba() };
    if (m_markersKey && *m_markersKey == key)
        return std::nullopt;
    const qreal ratio = frame.ratio;
    const SpriteCanvas::Start start = m_canvas.restartFrom(m_trailCanvas);
    trimSprites();

    // Where each gliding marker stands, looked up once.
    std::vector<const LatLon *> &drawnAt = m_drawnAt;
    drawnAt.assign(size_t(scene.aircraft.size()), nullptr);
    if (!scene.drawnPositions.isEmpty()) {
        for (int index = 0; index < scene.aircraft.size(); ++index) {
            const auto drawn = scene.drawnPositions.constFind(scene.aircraft[index].hex);
            if (drawn != scene.drawnPositions.cend())
                drawnAt[size_t(index)] = &*drawn;
        }
    }

    const int scaleCenti = key.scaleCenti;
    const MarkerLook look { m_trailsGeneration, scaleCenti, settings.increaseContrast,
        settings.differentiateWithoutColor, int(std::lround(ratio * 100.0)) };
    if (look != m_markerLook) {
        m_markerSprites.assign(size_t(scene.aircraft.size()), nullptr);
        m_markerLook = look;
    }
    const int ratioCenti = int(std::lround(ratio * 100.0));
    const double reach = discDiameter(settings.markerScale, true);
    const QRectF view = viewport.rect().adjusted(-reach, -reach, reach, reach);
    const auto spriteFor = [&](const Aircraft &aircraft, const QColor &fill,
                               bool selected) -> const SpriteCanvas::Sprite & {
        // Steps of a few degrees keep the pictures few (and in the processor's cache) while
        // the wing tips stray less than a fifth of a pixel.
        double turn = std::fmod(glyphRotation(aircraft), 360.0);
        if (turn < 0)
            turn += 360.0;
        return markerSprite({ fill.rgba(), selected, settings.increaseContrast,
            badge(aircraft, settings.differentiateWithoutColor),
            int(std::lround(turn / angleStep)) % int(360 / angleStep), scaleCenti, ratioCenti });
    };

    const auto selected = scene.selectedHex.isEmpty()
        ? scene.aircraft.cend()
        : std::find_if(scene.aircraft.cbegin(), scene.aircraft.cend(),
            [&](const Aircraft &aircraft) { return aircraft.hex == scene.selectedHex; });
    const qsizetype selectedIndex =
        selected == scene.aircraft.cend() ? -1 : selected - scene.aircraft.cbegin();
    m_selection = {};
    m_placed.clear();
    m_onTop.clear();
    m_inView.clear();
    for (int index = 0; index < scene.aircraft.size(); ++index) {
        const Aircraft &aircraft = scene.aircraft[index];
        if (!aircraft.lat || !aircraft.lon)
            continue;
        const LatLon *drawn = drawnAt[size_t(index)];
        const LatLon position = drawn ? *drawn : LatLon { *aircraft.lat, *aircraft.lon };
        const QPointF point = viewport.toScreen(position);
        if (!view.contains(point))
            continue;
        // The selected marker goes on top of all others, emergencies on top of the rest.
        const Stack layer = index == selectedIndex ? Stack::Selected : m_stacks[size_t(index)];
        m_inView.push_back({ point, index, layer });
        if (layer == Stack::Selected)
            m_selection = { index, point, m_fills[size_t(index)] };
        else
            (layer == Stack::Emergency ? m_onTop : m_placed).push_back({ point, index, layer });
    }
    placeLabels(viewport, scene, settings);

    // As on any map, a marker lower down stands in front; drawing row by row also keeps the
    // canvas memory at hand.
    const auto byRow = [](const Placed &a, const Placed &b) {
        return a.point.y() < b.point.y() || (a.point.y() == b.point.y() && a.index < b.index);
    };
    std::sort(m_placed.begin(), m_placed.end(), byRow);
    std::sort(m_onTop.begin(), m_onTop.end(), byRow);
    // The pictures are looked up here, so that the bands only read them.
    for (const std::vector<Placed> *markers : { &m_placed, &m_onTop }) {
        for (const Placed &placed : *markers) {
            const SpriteCanvas::Sprite *&sprite = m_markerSprites[size_t(placed.index)];
            if (!sprite)
                sprite = &spriteFor(scene.aircraft[placed.index],
                    QColor::fromRgba(m_fills[size_t(placed.index)]), false);
        }
    }
    m_labelDrawn.clear();
    for (const Label &label : m_labels) {
        m_labelDrawn.push_back(label.layer == Stack::Selected
                ? nullptr
                : &labelSprite({ label.text, key.labelInk, key.labelHalo, ratioCenti }));
    }
    m_markersKey = std::move(key);
    return start;
}

void RadarMapRenderer::paintSelection(QPainter *painter, const Frame &frame,
    const RadarMapScene &scene, const RadarMapSettings &settings)
{
    if (m_selection.index < 0 || m_selection.index >= scene.aircraft.size())
        return;
    const qreal ratio = frame.ratio;
    const Aircraft &selected = scene.aircraft[m_selection.index];
    const QColor fill = QColor::fromRgba(m_selection.fill);
    const QPointF &point = m_selection.point;
    paintHalo(painter, point, fill, discDiameter(settings.markerScale, true), scene, settings);
    // Whole device pixels keep the pictures as sharp as they were drawn.
    const auto snapped = [ratio](const QPointF &at) {
        return QPointF(std::round(at.x() * ratio) / ratio, std::round(at.y() * ratio) / ratio);
    };
    double turn = std::fmod(glyphRotation(selected), 360.0);
    if (turn < 0)
        turn += 360.0;
    const QImage &image = markerSprite(
        { fill.rgba(), true, settings.increaseContrast,
            badge(selected, settings.differentiateWithoutColor),
            int(std::lround(turn / angleStep)) % int(360 / angleStep),
            int(std::lround(settings.markerScale * 100.0)), int(std::lround(ratio * 100.0)) })
                              .image();
    const QSizeF half = image.deviceIndependentSize() / 2.0;
    painter->drawImage(snapped(point - QPointF(half.width(), half.height())), image);
    const auto [ink, halo] = labelColors(settings.mapStyleChoice, settings.palette);
    for (const Label &label : m_labels) {
        if (label.layer == Stack::Selected && label.rect.intersects(m_exposed))
            painter->drawImage(snapped(label.rect.topLeft()),
                labelSprite(
                    { label.text, ink.rgba(), halo.rgba(), int(std::lround(ratio * 100.0)) })
                    .image());
    }
}

void RadarMapRenderer::paintMarker(QPainter *painter, const QPointF &centre,
    const Aircraft &aircraft, const RadarMapSettings &settings, bool selected, double haloPhase)
{
    trimSprites();
    const QColor fill = AircraftColors::fill(
        aircraft, settings.colorByAltitude, AircraftColors::planeColor(settings.planeColorHex));
    const qreal ratio = painter->device()->devicePixelRatioF();
    double turn = std::fmod(glyphRotation(aircraft), 360.0);
    if (turn < 0)
        turn += 360.0;
    const QImage &image = markerSprite(
        { fill.rgba(), selected, settings.increaseContrast,
            badge(aircraft, settings.differentiateWithoutColor),
            int(std::lround(turn / angleStep)) % int(360 / angleStep),
            int(std::lround(settings.markerScale * 100.0)), int(std::lround(ratio * 100.0)) })
                              .image();
    if (selected) {
        RadarMapScene scene;
        scene.haloPhase = haloPhase;
        paintHalo(painter, centre, fill, discDiameter(settings.markerScale, true), scene, settings);
    }
    const QSizeF half = image.deviceIndependentSize() / 2.0;
    painter->drawImage(centre - QPointF(half.width(), half.height()), image);
}

void RadarMapRenderer::placeLabels(const Mercator::Viewport &viewport, const RadarMapScene &scene,
    const RadarMapSettings &settings)
{
    m_labels.clear();
    const QRectF &view = viewport.rect();
    const int columns = std::max(1, int(std::ceil(view.width() / labelCell)));
    const int rows = std::max(1, int(std::ceil(view.height() / labelCell)));
    if (m_labelGrid.size() != size_t(columns * rows))
        m_labelGrid.assign(size_t(columns * rows), {});
    for (std::vector<int> &cell : m_labelGrid)
        cell.clear();
    if (m_labelWidths.size() > 8192)
        m_labelWidths.clear();
    const QFontMetricsF metrics(labelFont());
    const double height = std::ceil(metrics.height()) + 2 * labelPadding;
    const auto column = [&](double x) {
        return std::clamp(int((x - view.left()) / labelCell), 0, columns - 1);
    };
    const auto row = [&](double y) {
        return std::clamp(int((y - view.top()) / labelCell), 0, rows - 1);
    };

    const auto place = [&](const Placed &marker) {
        LabelText &label = m_labelTexts[size_t(marker.index)];
        if (label.width < 0) {
            label.text = scene.aircraft[marker.index].displayName();
            auto known = m_labelWidths.constFind(label.text);
            if (known == m_labelWidths.cend())
                known = m_labelWidths.insert(label.text,
                    std::ceil(metrics.horizontalAdvance(label.text)) + 2 * labelPadding);
            label.width = *known;
        }
        const QString &text = label.text;
        const double *width = &label.width;
        const QRectF rect(marker.point.x() - *width / 2.0,
            marker.point.y()
                + discDiameter(settings.markerScale, marker.layer == Stack::Selected) / 2.0
                + labelGap,
            *width, height);
        if (!rect.intersects(view))
            return;
        const int left = column(rect.left()), right = column(rect.right());
        const int top = row(rect.top()), bottom = row(rect.bottom());
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                for (const int other : m_labelGrid[size_t(y * columns + x)]) {
                    if (m_labels[size_t(other)].rect.intersects(rect))
                        return;
                }
            }
        }
        const int id = int(m_labels.size());
        m_labels.push_back({ rect, text, marker.layer });
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x)
                m_labelGrid[size_t(y * columns + x)].push_back(id);
        }
    };
    const auto chosen = std::find_if(m_inView.cbegin(), m_inView.cend(),
        [](const Placed &marker) { return marker.layer == Stack::Selected; });
    if (chosen != m_inView.cend())
        place(*chosen);
    for (auto it = m_inView.cbegin(); it != m_inView.cend(); ++it) {
        if (it != chosen)
            place(*it);
    }
}

const SpriteCanvas::Sprite &RadarMapRenderer::labelSprite(const LabelKey &key)
{
    const auto found = m_labelSprites.find(key);
    if (found != m_labelSprites.end())
        return found->second;
    const QFont font = labelFont();
    const QFontMetricsF metrics(font);
    const qreal ratio = key.ratioCenti / 100.0;
    const QSizeF size(std::ceil(metrics.horizontalAdvance(key.text)) + 2 * labelPadding,
        std::ceil(metrics.height()) + 2 * labelPadding);
    QImage image((size * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainterPath path;
    path.addText(QPointF(labelPadding, labelPadding + metrics.ascent()), font, key.text);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(ratio, ratio);
    // The halo first, in the colour the map is not, so that the title reads over any basemap.
    p.strokePath(path,
        QPen(
            QColor::fromRgba(key.halo), 2 * labelHalo, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(path, QColor::fromRgba(key.ink));
    p.end();
    image.setDevicePixelRatio(ratio);
    return m_labelSprites.emplace(key, SpriteCanvas::Sprite(std::move(image))).first->second;
}

void RadarMapRenderer::paintHalo(QPainter *painter, const QPointF &centre, const QColor &color,
    double diameter, const RadarMapScene &scene, const RadarMapSettings &settings)
{
    const HaloRing ring = haloRing(diameter, scene.haloPhase, settings.reduceMotion);
    if (ring.opacity <= 0.0)
        return;
    const double opacity = ring.opacity;
    // The ring is worked out pixel by pixel on a picture of its own: a pen on the painter would
    // hand the ring's spans to Qt's thread pool, and waking it sixty times a second costs more
    // than the ring.
    const qreal ratio = painter->device()->devicePixelRatioF();
    const double radius = ring.radius * ratio;
    const double half = ring.width / 2.0 * ratio;
    const QPointF device = centre * ratio;
    const int left = int(std::floor(device.x() - radius - half - 1.0));
    const int top = int(std::floor(device.y() - radius - half - 1.0));
    const int side = int(std::ceil(2.0 * (radius + half + 1.0))) + 1;
    if (m_halo.width() != side)
        m_halo = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
    const QRgb ink = SystemColors::withAlpha(color, opacity).rgba();
    // Premultiplied ink at each of 256 coverage levels.
    std::array<QRgb, 256> shades;
    for (int c = 0; c < 256; ++c) {
        const int a = (qAlpha(ink) * c + 127) / 255;
        shades[size_t(c)] = qRgba((qRed(ink) * a + 127) / 255, (qGreen(ink) * a + 127) / 255,
            (qBlue(ink) * a + 127) / 255, a);
    }
    // Only pixels within half a pixel of the ring's edges need a square root.
    const double outer = radius + half + 0.5;
    const double inner = std::max(0.0, radius - half - 0.5);
    const double peak = std::min(1.0, 2.0 * half) * 255.0;
    for (int y = 0; y < side; ++y) {
        auto *row = reinterpret_cast<QRgb *>(m_halo.scanLine(y));
        const double dy = top + y + 0.5 - device.y();
        for (int x = 0; x < side; ++x) {
            const double dx = left + x + 0.5 - device.x();
            const double squared = dx * dx + dy * dy;
            if (squared >= outer * outer || squared <= inner * inner) {
                row[x] = 0;
                continue;
            }
            // Coverage falls from 1 to 0 across one pixel at each edge of the ring.
            const double distance = std::sqrt(squared);
            const double coverage =
                std::clamp(half + 0.5 - std::abs(distance - radius), 0.0, 1.0) * 255.0;
            row[x] = shades[size_t(std::min(coverage, peak) + 0.5)];
        }
    }
    m_halo.setDevicePixelRatio(ratio);
    painter->drawImage(QPointF(left, top) / ratio, m_halo);
}

const SpriteCanvas::Sprite &RadarMapRenderer::markerSprite(const MarkerKey &key)
{
    const auto found = m_markers.find(key);
    if (found != m_markers.end())
        return found->second;

    const double scale = key.scaleCenti / 100.0;
    const qreal ratio = key.ratioCenti / 100.0;
    const double diameter = discDiameter(scale, key.selected);
    // Room for the shadow below and the badge beyond the top-right corner.
    const double margin = std::ceil(4.0 + 4.0 * scale);
    const double side = diameter + 2 * margin;
    const int pixels = int(std::ceil(side * ratio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QPointF centre(pixels / ratio / 2.0, pixels / ratio / 2.0);
    const QColor fill = QColor::fromRgba(key.fill);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (key.highContrast)
        paintDiscShadow(&p, centre + QPointF(0, 1), diameter, 0.7, 3.0, ratio);
    else
        paintDiscShadow(&p, centre + QPointF(0, 1), diameter, 0.45, 2.0, ratio);
    p.scale(ratio, ratio);

    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(centre, diameter / 2, diameter / 2);

    const double ring = ringWidth(key.highContrast, key.selected);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(markerRingColor(fill, key.selected || key.highContrast), ring));
    p.drawEllipse(centre, (diameter - ring) / 2, (diameter - ring) / 2);

    // A hairline of the same colour round the outline stands in for the bold weight.
    Symbols::paintAirplane(&p, centre, glyphSize(scale, key.selected), key.angleBucket * angleStep,
        AircraftColors::glyph(fill), 0.06);

    if (key.badge != Badge::None) {
        const double symbol = 6.0 * scale;
        const double badgeSide = symbol + 4.0;
        const QRectF frame(
            centre - QPointF(diameter / 2, diameter / 2), QSizeF(diameter, diameter));
        const QRectF disc(frame.right() - badgeSide + 3.0, frame.top() - 3.0, badgeSide, badgeSide);
        p.setPen(QPen(QColor(0, 0, 0, 102), 0.5));
        p.setBrush(Qt::white);
        p.drawEllipse(disc);
        const QRectF glyphRect(
            disc.center() - QPointF(symbol / 2, symbol / 2), QSizeF(symbol, symbol));
        Symbols::paint(&p, key.badge == Badge::Exclamation ? u"exclamationmark"_s : u"star.fill"_s,
            glyphRect, Qt::black);
    }
    p.end();
    image.setDevicePixelRatio(ratio);
    return m_markers.emplace(key, SpriteCanvas::Sprite(std::move(image))).first->second;
}

void RadarMapRenderer::trimSprites()
{
    if (m_markers.size() > 4096) {
        m_markers.clear();
        std::fill(m_markerSprites.begin(), m_markerSprites.end(), nullptr);
    }
    if (m_labelSprites.size() > 4096) {
        m_labelSprites.clear();
        m_labelDrawn.clear();
    }
}

namespace {

constexpr double keyDot = 9.0;
constexpr double keyDotGap = 4.0;
constexpr double keySpacing = 10.0;

QFont keyFont()
{
    return TextStyle::pixelFont(QFont(), 10);
}

QString keyUnit()
{
    return tr("×1,000 ft");
}

QFont attributionFont()
{
    return TextStyle::pixelFont(QFont(), 10);
}

} // namespace

QRectF RadarMapRenderer::altitudeKeyRect(const QRectF &rect, const RadarMapSettings &settings)
{
    const QFontMetricsF metrics(keyFont());
    double width = 0;
    for (const AltitudeColors::Band &band : AltitudeColors::bands())
        width += keyDot + keyDotGap + metrics.horizontalAdvance(band.label) + keySpacing;
    width += metrics.horizontalAdvance(keyUnit());
    const double height = std::max(keyDot, metrics.height());
    const double top = settings.keyAtTop ? rect.top() + 12.0
                                         : rect.bottom() - settings.keyBottomMargin - height - 12.0;
    return QRectF(rect.left() + 12.0, top, width + 20.0, height + 12.0);
}

void RadarMapRenderer::paintAltitudeKey(
    QPainter *painter, const QRectF &rect, const RadarMapSettings &settings) const
{
    const QFont font = keyFont();
    const QFontMetricsF metrics(font);
    const QRectF panel = altitudeKeyRect(rect, settings);
    const QPalette &palette = settings.palette;
    painter->save();
    QPainterPath plate;
    plate.addRoundedRect(panel, 8, 8);
    Material::paint(
        painter, plate, Material::behind(painter, panel), panel, palette.color(QPalette::Window));
    painter->setPen(QPen(SystemColors::withAlpha(palette.color(QPalette::WindowText), 0.12), 0.5));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(plate);
    painter->setFont(font);
    double x = panel.left() + 10.0;
    const double middle = panel.center().y();
    const double baseline = middle + (metrics.ascent() - metrics.descent()) / 2.0;
    for (const AltitudeColors::Band &band : AltitudeColors::bands()) {
        painter->setPen(QPen(QColor(255, 255, 255, 102), 0.5));
        painter->setBrush(band.color);
        painter->drawEllipse(QRectF(x, middle - keyDot / 2, keyDot, keyDot));
        x += keyDot + keyDotGap;
        painter->setPen(palette.color(QPalette::WindowText));
        painter->drawText(QPointF(x, baseline), band.label);
        x += metrics.horizontalAdvance(band.label) + keySpacing;
    }
    painter->setPen(SystemColors::withAlpha(palette.color(QPalette::WindowText), 0.45));
    painter->drawText(QPointF(x, baseline), keyUnit());
    painter->restore();
}

RadarMapRenderer::AttributionLine RadarMapRenderer::attributionLine(
    const QRectF &rect, Style style, const RadarMapSettings &settings)
{
    const QFontMetricsF metrics(attributionFont());
    const QString text = attribution(style);
    const double available =
        std::max(60.0, rect.width() - 12.0 - settings.attributionRightMargin - 8.0);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, available);
    const double width = std::min(available, metrics.horizontalAdvance(shown) + 1.0);
    const QRectF box(rect.left() + 12.0, rect.bottom() - 4.0 - metrics.height() - 4.0, width + 8.0,
        metrics.height() + 4.0);
    return { box, shown };
}

void RadarMapRenderer::paintAttribution(
    QPainter *painter, const AttributionLine &line, const QPalette &palette) const
{
    // Always legible, whatever lies under it: the tile services ask to be named on the map.
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(SystemColors::withAlpha(palette.color(QPalette::Window), 0.75));
    painter->drawRoundedRect(line.box, 4, 4);
    painter->setFont(attributionFont());
    painter->setPen(SystemColors::withAlpha(palette.color(QPalette::WindowText), 0.85));
    painter->drawText(
        line.box.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignVCenter, line.shown);
    painter->restore();
}

QString RadarMapRenderer::markerAt(const QPointF &point, const QRectF &rect,
    const Mercator::Camera &camera, const RadarMapScene &scene,
    const RadarMapSettings &settings) const
{
    const Mercator::Viewport viewport(rect, camera);
    // Where the marker is drawn, when @p point falls on it.
    const auto hit = [&](const Aircraft &aircraft, bool selected) -> std::optional<QPointF> {
        if (!aircraft.lat || !aircraft.lon)
            return std::nullopt;
        const LatLon position =
            scene.drawnPositions.value(aircraft.hex, { *aircraft.lat, *aircraft.lon });
        const QPointF centre = viewport.toScreen(position);
        const QPointF offset = centre - point;
        // A little beyond the disc, so that small markers are easy to hit.
        const double reach = discDiameter(settings.markerScale, selected) / 2.0 + 2.0;
        if (offset.x() * offset.x() + offset.y() * offset.y() > reach * reach)
            return std::nullopt;
        return centre;
    };
    // The selected marker is painted last, so it wins.
    if (!scene.selectedHex.isEmpty()) {
        for (const Aircraft &aircraft : scene.aircraft) {
            if (aircraft.hex == scene.selectedHex && hit(aircraft, true))
                return aircraft.hex;
        }
    }
    // Emergencies are painted over the rest; within each group markers are painted from the
    // top of the screen down, and in list order along a row: the last one painted over the
    // point is the one seen.
    const auto topmostOf = [&](bool emergencies) {
        QString topmost;
        double topmostY = -std::numeric_limits<double>::infinity();
        for (const Aircraft &aircraft : scene.aircraft) {
            if (aircraft.hex == scene.selectedHex || aircraft.isEmergency() != emergencies)
                continue;
            if (const auto centre = hit(aircraft, false); centre && centre->y() >= topmostY) {
                topmost = aircraft.hex;
                topmostY = centre->y();
            }
        }
        return topmost;
    };
    const QString emergency = topmostOf(true);
    return emergency.isEmpty() ? topmostOf(false) : emergency;
}
