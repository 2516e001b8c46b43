// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "aircraftcolors.h"
#include "homelocation.h"
#include "mercator.h"
#include "spritecanvas.h"
#include "tilesource.h"

#include <QCache>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPalette>
#include <QRectF>
#include <QSemaphore>
#include <QString>
#include <QThreadPool>

#include <optional>
#include <unordered_map>
#include <vector>

class QPainter;

/// The basemap styles.
enum class MapStyle { Standard, Muted, Imagery, Hybrid };
Q_DECLARE_METATYPE(MapStyle)

// What the map shows at one moment, as the view takes it from the flight store.
struct RadarMapScene {
    std::optional<HomeLocation> home;
    double radiusNM = 25.0;
    // The displayed aircraft, in list order.
    QList<Aircraft> aircraft;
    // Kept positions per hex, oldest first.
    QHash<QString, QList<LatLon>> trails;
    // Where markers stand while they glide towards a new answer; the others stand at their own
    // position. A trail that ends at the new position ends at the marker instead.
    QHash<QString, LatLon> drawnPositions;
    QString selectedHex;
    // 0 … 1 through one pulse of the selection halo.
    double haloPhase = 0.0;
};

// The map preferences as plain values (the application fills them in), and what surrounds
// the picture.
struct RadarMapSettings {
    MapStyle mapStyleChoice = MapStyle::Standard;
    QString planeColorHex = QString(AircraftColors::defaultPlaneColorHex);
    double markerScale = 1.0;
    bool increaseContrast = false;
    bool differentiateWithoutColor = false;
    bool reduceMotion = false;
    bool colorByAltitude = false;
    bool showTrails = true;
    double trailWidth = 2.0;
    QPalette palette;
    // From the bottom edge to the bottom of the altitude key, leaving room for controls.
    double keyBottomMargin = 36.0;
    // The key sits in the top-left corner instead, where the bottom edge has no room for it.
    bool keyAtTop = false;
    // Room the attribution leaves free at the right end of the bottom edge.
    double attributionRightMargin = 12.0;
};

// Paints the radar map on any QPainter: basemap tiles (or a graticule where they are missing),
// the range ring and home, trails, aircraft markers with their titles and the selection halo,
// the altitude key and the attribution of the tiles. Keeps pictures of the markers and titles
// it has drawn, so that thousands of aircraft stay cheap.
//
// The picture is layers that change at different rates, each kept in device pixels of the
// whole view until what it shows changes: the basemap with the ring and home (the camera),
// the trails but for their last segment (each answer), and the markers, titles and last trail
// segments (each glide step). A frame lays the part it repaints of the kept layers over each
// other and paints the selection and its halo (each pulse), the key and the attribution on
// top, so that a frame where only the halo changed costs its rectangle alone. Whatever the
// layers kept, the picture is the one a new renderer paints.
class RadarMapRenderer {
public:
    using Style = MapStyle;
    enum class Badge { None, Exclamation, Star };

    struct TrailSegment {
        QString id;
        QList<LatLon> coordinates;
        QColor color;
    };

    // Without tiles the map is the graticule alone.
    explicit RadarMapRenderer(TileSource *tiles = nullptr);
    ~RadarMapRenderer();
    Q_DISABLE_COPY_MOVE(RadarMapRenderer)

    // The layers, for benchmarks: which to paint again at the next frame, and what the last
    // frame spent on each (wall-clock milliseconds; zero for a layer it kept).
    enum class Layer : quint8 { Basemap = 1, Trails = 2, Markers = 4 };
    Q_DECLARE_FLAGS(Layers, Layer)
    void invalidate(Layers layers);
    // Off, every frame paints every layer again, as for a changed camera.
    void setLayerCaching(bool caching) { m_caching = caching; }
    struct Timings {
        double basemap = 0.0;
        // Working out where the trails and the markers with their titles go; the trails on
        // another thread at the same time (its processor time).
        double trails = 0.0;
        double markers = 0.0;
        // Drawing both, band by band on several threads at once.
        double drawing = 0.0;
        // Laying the layers over each other, the selection with its halo, key and attribution.
        double compose = 0.0;
        // Processor time of the painting thread and of the threads drawing bands for it.
        double processor = 0.0;
    };
    const Timings &lastTimings() const { return m_timings; }

    // @p exposed, when given, is the part that needs repainting; the rest may be skipped.
    void render(QPainter *painter, const QRectF &rect, const Mercator::Camera &camera,
        const RadarMapScene &scene, const RadarMapSettings &settings, const QRectF &exposed = {});
    // One aircraft's marker centred on @p centre, as the map draws it, with the halo at
    // @p haloPhase when @p selected: for previews and the legend.
    void paintMarker(QPainter *painter, const QPointF &centre, const Aircraft &aircraft,
        const RadarMapSettings &settings, bool selected = false, double haloPhase = 0.0);
    // The hex of the marker drawn on top at @p point; empty when there is none. Follows the
    // painting order: the selected marker, then emergencies, then the rest from the bottom up.
    QString markerAt(const QPointF &point, const QRectF &rect, const Mercator::Camera &camera,
        const RadarMapScene &scene, const RadarMapSettings &settings) const;

    static QString styleName(Style style);
    // Tile layers bottom first.
    static QList<TileSource::Layer> layers(Style style);
    static QString attribution(Style style);
    static QColor ringColor(Style style, const QPalette &palette);

    // "Strong" when selected or in high contrast.
    static QColor markerRingColor(const QColor &fillColor, bool strong);
    static double discDiameter(double scale, bool selected);
    static double ringWidth(bool highContrast, bool selected);
    static double glyphSize(double scale, bool selected);
    // The selection halo round a disc of @p diameter at @p phase (0 … 1) of its pulse, still
    // when motion is reduced: the radius of the ring's middle, its width and its opacity.
    struct HaloRing {
        double radius = 0.0;
        double width = 0.0;
        double opacity = 0.0;
    };
    static HaloRing haloRing(double diameter, double phase, bool reduceMotion);
    // Degrees clockwise applied to the east-pointing glyph.
    static double glyphRotation(const Aircraft &aircraft);
    static Badge badge(const Aircraft &aircraft, bool showSymbols);
    static QList<TrailSegment> trailSegments(
        const RadarMapScene &scene, const RadarMapSettings &settings);
    static QString accessibilityText(const Aircraft &aircraft, const QString &distanceUnit);
    static QString altitudeKeyDescription();
    // Where the altitude key stands within @p rect.
    static QRectF altitudeKeyRect(const QRectF &rect, const RadarMapSettings &settings);

    // The attribution as drawn: one line at the bottom-left, cut with an ellipsis where the
    // room is short (the whole text is attribution()).
    struct AttributionLine {
        QRectF box;
        QString shown;
    };
    static AttributionLine attributionLine(
        const QRectF &rect, Style style, const RadarMapSettings &settings);
    // The font of the titles under the markers.
    static QFont labelFont();

private:
    struct QtHash {
        template<typename Key>
        size_t operator()(const Key &key) const
        {
            return qHash(key);
        }
    };
    struct MarkerKey {
        QRgb fill = 0;
        bool selected = false;
        bool highContrast = false;
        Badge badge = Badge::None;
        int angleBucket = 0;
        int scaleCenti = 100;
        int ratioCenti = 100;
        friend bool operator==(const MarkerKey &, const MarkerKey &) = default;
        friend size_t qHash(const MarkerKey &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.fill, key.selected, key.highContrast, int(key.badge),
                key.angleBucket, key.scaleCenti, key.ratioCenti);
        }
    };

    struct LabelKey {
        QString text;
        QRgb ink = 0;
        QRgb halo = 0;
        int ratioCenti = 100;
        friend bool operator==(const LabelKey &, const LabelKey &) = default;
        friend size_t qHash(const LabelKey &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.text, key.ink, key.halo, key.ratioCenti);
        }
    };

    struct PlacedTile {
        QRectF target;
        QImage image;
        int x = 0;
        int y = 0;
    };
    struct ScaledKey {
        qint64 image = 0;
        QSize size;
        friend bool operator==(const ScaledKey &, const ScaledKey &) = default;
        friend size_t qHash(const ScaledKey &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.image, key.size.width(), key.size.height());
        }
    };

    // Where the layers stand: the view, its camera and the device pixels.
    struct Frame {
        QRectF rect;
        Mercator::Camera camera;
        qreal ratio = 0.0;
        // The view's top-left corner on whole device pixels, and the layers' size.
        QPointF origin;
        QSize pixels;
        friend bool operator==(const Frame &a, const Frame &b)
        {
            return a.rect == b.rect && a.camera.centre == b.camera.centre
                && a.camera.distanceMetres == b.camera.distanceMetres && a.ratio == b.ratio;
        }
    };
    struct BasemapKey {
        Frame frame;
        Style style = Style::Standard;
        QPalette palette;
        std::optional<HomeLocation> home;
        double radiusNM = 0.0;
        bool operator==(const BasemapKey &) const = default;
    };
    struct TrailsKey {
        Frame frame;
        QList<Aircraft> aircraft;
        QHash<QString, QList<LatLon>> trails;
        QString planeColorHex;
        bool colorByAltitude = false;
        bool showTrails = true;
        double trailWidth = 0.0;
        // The lists are compared by identity: a list that changed is another list.
        bool sameAs(const TrailsKey &other) const;
    };
    struct MarkersKey {
        quint64 trails = 0;
        QHash<QString, LatLon> drawnPositions;
        QString selectedHex;
        int scaleCenti = 0;
        bool increaseContrast = false;
        bool differentiateWithoutColor = false;
        QRgb labelInk = 0;
        QRgb labelHalo = 0;
        bool operator==(const MarkersKey &) const = default;
    };

    void updateBasemap(const Mercator::Viewport &viewport, const Frame &frame,
        const RadarMapScene &scene, const RadarMapSettings &settings);
    // Work out what the trails and markers layers show, when it changed: the start of the
    // layer's new picture, which drawLayers() then draws.
    std::optional<SpriteCanvas::Start> updateTrails(const Mercator::Viewport &viewport,
        const Frame &frame, const RadarMapScene &scene, const RadarMapSettings &settings);
    std::optional<SpriteCanvas::Start> updateMarkers(const Mercator::Viewport &viewport,
        const Frame &frame, const RadarMapScene &scene, const RadarMapSettings &settings);
    // Draws the layers that changed in bands of rows, on several threads at once. Each band
    // draws everything in the same order on its own rows, so the picture is the one a single
    // pass would draw.
    void drawLayers(const Frame &frame, const std::optional<SpriteCanvas::Start> &trails,
        const std::optional<SpriteCanvas::Start> &markers);
    void drawTrails(SpriteCanvas &band) const;
    void drawMarkers(SpriteCanvas &band, const Frame &frame) const;
    // The selected marker with its halo and title, over the layers.
    void paintSelection(QPainter *painter, const Frame &frame, const RadarMapScene &scene,
        const RadarMapSettings &settings);
    // Lays the exposed part of a layer (within @p drawn, in device pixels) on @p painter.
    void compose(
        QPainter *painter, const Frame &frame, const QImage &layer, const QRect &drawn) const;
    // Whether every tile of the view was there.
    bool paintBasemap(QPainter *painter, const Mercator::Viewport &viewport, Style style,
        const QPalette &palette);
    void paintGraticule(
        QPainter *painter, const Mercator::Viewport &viewport, const QPalette &palette) const;
    std::vector<PlacedTile> placeTiles(
        const Mercator::Viewport &viewport, TileSource::Layer layer, int level);
    // Asks for the tiles of the view, as a frame does, without painting them.
    void askForTiles(const Mercator::Viewport &viewport, Style style, qreal ratio);
    void paintTiles(QPainter *painter, const std::vector<PlacedTile> &tiles,
        TileSource::Layer layer, int level, bool muted);
    void paintStandIn(QPainter *painter, const QRectF &target, TileSource::Layer layer, int z,
        int x, int y, bool muted);
    void paintTile(QPainter *painter, const QRectF &target, const QImage &image);
    QImage mutedTile(const QImage &tile);
    void paintHome(QPainter *painter, const Frame &frame, const Mercator::Viewport &viewport,
        const RadarMapScene &scene, Style style, const QPalette &palette);
    // The trails in device pixels, but for their last segments, in order of their top row.
    void projectTrails(
        const Mercator::Viewport &viewport, const RadarMapScene &scene, const Frame &frame);
    // The last segments, to the markers where they glide.
    void strokeTails(const Mercator::Viewport &viewport, const Frame &frame);
    void paintHalo(QPainter *painter, const QPointF &centre, const QColor &color, double diameter,
        const RadarMapScene &scene, const RadarMapSettings &settings);
    void paintAltitudeKey(
        QPainter *painter, const QRectF &rect, const RadarMapSettings &settings) const;
    void paintAttribution(
        QPainter *painter, const AttributionLine &line, const QPalette &palette) const;
    const SpriteCanvas::Sprite &markerSprite(const MarkerKey &key);
    // Drops the kept marker and title pictures once there are many, and the pointers to them.
    void trimSprites();
    // Titles that do not collide with one already placed, the selected one first and then in
    // list order, over the whole view so that a partial repaint places them alike.
    void placeLabels(const Mercator::Viewport &viewport, const RadarMapScene &scene,
        const RadarMapSettings &settings);
    const SpriteCanvas::Sprite &labelSprite(const LabelKey &key);
    const QImage &homeImage(const QColor &disc, qreal ratio);

    TileSource *m_tiles;
    QMetaObject::Connection m_tileReady;
    // Tiles that arrived: a basemap drawn without some of them is painted again.
    quint64 m_tileGeneration = 0;
    // The part of the picture being painted.
    QRectF m_exposed;
    bool m_caching = true;
    Timings m_timings;

    // The basemap layer (opaque), the trails but for their last segments, and the markers,
    // titles and last segments over a copy of the trails.
    QImage m_basemap;
    std::optional<BasemapKey> m_basemapKey;
    bool m_basemapComplete = false;
    quint64 m_basemapGeneration = 0;
    // The range ring's outline, laid over the basemap.
    SpriteCanvas m_ringCanvas;
    SpriteCanvas m_trailCanvas;
    std::optional<TrailsKey> m_trailsKey;
    quint64 m_trailsGeneration = 0;
    SpriteCanvas m_canvas;
    std::optional<MarkersKey> m_markersKey;

    // What a marker is painted over: the selected one over all, emergencies over the rest.
    enum class Stack : quint8 { Ordinary, Emergency, Selected };
    struct Placed {
        QPointF point;
        int index = 0;
        Stack layer = Stack::Ordinary;
    };
    // The selected marker as the markers layer found it.
    struct Selection {
        int index = -1;
        QPointF point;
        QRgb fill = 0;
    };
    Selection m_selection;
    // The last segment of each trail, drawn with the markers since it ends at a gliding one.
    struct Tail {
        int index = 0;
        QPointF from;
        QPointF to;
        // Whether it ends at the marker (the trail ends at the aircraft's position).
        bool followsMarker = false;
    };
    std::vector<Tail> m_tails;
    // A trail's points projected once; the store's list stays the same between polls.
    struct ProjectedTrail {
        const LatLon *data = nullptr;
        qsizetype size = 0;
        LatLon last;
        std::vector<QPointF> unit;
        quint64 frame = 0;
    };

    struct Label {
        QRectF rect;
        QString text;
        Stack layer = Stack::Ordinary;
    };

    // Markers in view: the ordinary ones, and those painted over them.
    std::vector<Placed> m_placed;
    std::vector<Placed> m_onTop;
    std::vector<Placed> m_inView;
    std::vector<Label> m_labels;
    // Placed titles per cell of a coarse grid over the view, so that a collision test only
    // looks at neighbours.
    std::vector<std::vector<int>> m_labelGrid;
    QHash<QString, double> m_labelWidths;
    // Per aircraft of the answer: its title and width, measured when first placed, and its
    // marker's picture, while the look of the markers stays.
    struct LabelText {
        QString text;
        double width = -1.0;
    };
    std::vector<LabelText> m_labelTexts;
    struct MarkerLook {
        quint64 trails = 0;
        int scaleCenti = 0;
        bool increaseContrast = false;
        bool differentiateWithoutColor = false;
        int ratioCenti = 0;
        bool operator==(const MarkerLook &) const = default;
    };
    MarkerLook m_markerLook;
    std::vector<const SpriteCanvas::Sprite *> m_markerSprites;
    // Node-based, so that the pictures stay where they are while more are added: the layers
    // keep pointers to them, and only trimSprites() drops them.
    std::unordered_map<LabelKey, SpriteCanvas::Sprite, QtHash> m_labelSprites;
    // The fill colour of each aircraft of the scene and the layer its marker goes in (but for
    // the selection), worked out once an answer.
    std::vector<QRgb> m_fills;
    std::vector<Stack> m_stacks;
    struct TrailRun {
        double top = 0;
        double bottom = 0;
        int index = 0;
        size_t first = 0;
        size_t count = 0;
    };
    QHash<QString, ProjectedTrail> m_projectedTrails;
    std::vector<QPointF> m_trailPoints;
    std::vector<TrailRun> m_trailOrder;
    quint64 m_frame = 0;
    // The trails' width in device pixels.
    double m_trailPixels = 0.0;
    // The trails being projected on the pool, and the processor time it took.
    bool m_projecting = false;
    QSemaphore m_projected;
    double m_projectionTime = 0.0;
    // Where each gliding marker of the scene stands, or null.
    std::vector<const LatLon *> m_drawnAt;
    QThreadPool m_bandPool;
    // Views of the layers' bands, kept with the brushes they made.
    std::vector<SpriteCanvas> m_trailBands;
    std::vector<SpriteCanvas> m_markerBands;
    // What the bands draw for the markers layer, resolved beforehand on the painting thread.
    struct TailStroke {
        QPointF from;
        QPointF to;
        QRgb color = 0;
    };
    std::vector<TailStroke> m_tailStrokes;
    std::vector<const SpriteCanvas::Sprite *> m_labelDrawn;
    std::unordered_map<MarkerKey, SpriteCanvas::Sprite, QtHash> m_markers;
    QCache<qint64, QImage> m_muted;
    QCache<ScaledKey, QImage> m_scaled;
    QImage m_home;
    QRgb m_homeColor = 0;
    // The halo's ring, drawn again each pulse.
    QImage m_halo;
    std::optional<AttributionLine> m_attribution;
    QRectF m_attributionRect;
    Style m_attributionStyle = Style::Standard;
    double m_attributionMargin = 0.0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(RadarMapRenderer::Layers)
