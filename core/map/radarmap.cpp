// SPDX-License-Identifier: GPL-3.0-or-later
#include "radarmap.h"

#include "tilesource.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

constexpr int glideMilliseconds = 800;
constexpr int haloPulseMilliseconds = 1100;

LatLon interpolate(const LatLon &from, const LatLon &to, double t)
{
    double dLon = to.longitude - from.longitude;
    dLon -= 360.0 * std::round(dLon / 360.0);
    return { from.latitude + (to.latitude - from.latitude) * t,
        std::remainder(from.longitude + dLon * t, 360.0) };
}

} // namespace

RadarMap::RadarMap(TileSource *tiles, QObject *parent)
    : QObject(parent)
    , m_renderer(tiles)
{
    m_cameraAnimation.setStartValue(0.0);
    m_cameraAnimation.setEndValue(1.0);
    connect(
        &m_cameraAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
            const double t = value.toDouble();
            const double distance = std::exp(std::log(m_cameraFrom.distanceMetres)
                + (std::log(m_cameraTo.distanceMetres) - std::log(m_cameraFrom.distanceMetres))
                    * t);
            applyCamera({ interpolate(m_cameraFrom.centre, m_cameraTo.centre, t), distance });
        });
    // Exactly where it was sent, whatever the rounding on the way.
    connect(&m_cameraAnimation, &QVariantAnimation::finished, this,
        [this] { applyCamera(m_cameraTo); });

    m_glide.setStartValue(0.0);
    m_glide.setEndValue(1.0);
    m_glide.setDuration(glideMilliseconds);
    // Trails end at the gliding markers, so the whole picture changes; but only when some
    // marker moves.
    connect(&m_glide, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        const int step =
            std::clamp(int(std::floor(value.toDouble() * m_glideSteps)), 0, m_glideSteps);
        if (step == m_glideStep)
            return;
        m_glideStep = step;
        updateAll();
    });
    connect(&m_glide, &QVariantAnimation::finished, this, [this] {
        m_glideFrom.clear();
        updateAll();
    });

    m_haloTimer.setInterval(16);
    connect(&m_haloTimer, &QTimer::timeout, this, &RadarMap::haloTick);

    if (tiles)
        connect(tiles, &TileSource::tileReady, this, &RadarMap::updateAll);

    m_camera = automaticCamera();
}

RadarMap::~RadarMap() = default;

void RadarMap::setRect(const QRectF &rect)
{
    if (rect == m_rect)
        return;
    m_rect = rect;
    if (!m_glideFrom.isEmpty())
        updateGlideSteps();
    updateAll();
}

void RadarMap::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    updateHalo();
}

void RadarMap::setAircraft(const QList<Aircraft> &aircraft)
{
    QHash<QString, LatLon> from;
    if (animates()) {
        // Each marker glides from where it stands now, even mid-glide.
        QHash<QString, LatLon> standing;
        for (const Aircraft &shown : std::as_const(m_aircraft)) {
            if (const auto position = drawnPosition(shown))
                standing.insert(shown.hex, *position);
        }
        for (const Aircraft &next : aircraft) {
            const auto target = next.coordinate();
            const auto now = standing.constFind(next.hex);
            if (target && now != standing.cend() && *now != *target)
                from.insert(next.hex, *now);
        }
    }
    m_glide.stop();
    m_aircraft = aircraft;
    m_glideFrom = std::move(from);
    m_glideStep = 0;
    if (!m_glideFrom.isEmpty()) {
        updateGlideSteps();
        m_glide.start();
    }
    if (!m_cameraChosen)
        applyCamera(automaticCamera());
    updateHalo();
    updateAll();
}

void RadarMap::setTrails(const QHash<QString, QList<LatLon>> &trails)
{
    m_trails = trails;
    updateAll();
}

void RadarMap::setHome(const std::optional<HomeLocation> &home)
{
    m_home = home;
    updateAll();
}

void RadarMap::setRadiusNM(double radiusNM)
{
    m_radiusNM = radiusNM;
    updateAll();
}

void RadarMap::setSelectedHex(const QString &hex)
{
    m_selectedHex = hex;
    updateHalo();
    updateAll();
}

void RadarMap::setSettings(const RadarMapSettings &settings)
{
    const bool motionChanged = settings.reduceMotion != m_settings.reduceMotion;
    m_settings = settings;
    if (motionChanged)
        updateHalo();
    updateAll();
}

Mercator::Camera RadarMap::targetCamera() const
{
    return isCameraMoving() ? m_cameraTo : m_camera;
}

bool RadarMap::isCameraMoving() const
{
    return m_cameraAnimation.state() == QAbstractAnimation::Running;
}

bool RadarMap::isAnimating() const
{
    return isCameraMoving() || m_glide.state() == QAbstractAnimation::Running
        || m_haloTimer.isActive();
}

void RadarMap::setCamera(const Mercator::Camera &camera)
{
    m_cameraAnimation.stop();
    m_cameraChosen = true;
    applyCamera(camera);
}

void RadarMap::applyCamera(const Mercator::Camera &camera)
{
    m_camera.centre.latitude =
        std::clamp(camera.centre.latitude, -Mercator::maxLatitude, Mercator::maxLatitude);
    m_camera.centre.longitude = std::remainder(camera.centre.longitude, 360.0);
    m_camera.distanceMetres = std::max(camera.distanceMetres, 1.0);
    if (!m_glideFrom.isEmpty())
        updateGlideSteps();
    Q_EMIT cameraChanged();
    updateAll();
}

bool RadarMap::animates() const
{
    return m_shown && !m_settings.reduceMotion;
}

void RadarMap::move(const Mercator::Camera &target, int milliseconds, QEasingCurve::Type easing)
{
    if (!animates()) {
        setCamera(target);
        return;
    }
    m_cameraAnimation.stop();
    m_cameraChosen = true;
    m_cameraFrom = m_camera;
    m_cameraTo = target;
    m_cameraAnimation.setDuration(milliseconds);
    m_cameraAnimation.setEasingCurve(easing);
    m_cameraAnimation.start();
}

void RadarMap::recenter()
{
    if (!m_home)
        return;
    move({ { m_home->latitude, m_home->longitude }, Mercator::fitAllDistance(m_radiusNM) }, 500,
        QEasingCurve::InOutQuad);
}

void RadarMap::centerOnHome()
{
    if (!m_home)
        return;
    move({ { m_home->latitude, m_home->longitude },
             Mercator::homeDistance(m_camera.distanceMetres, m_radiusNM) },
        500, QEasingCurve::InOutQuad);
}

void RadarMap::focusOn(const LatLon &position)
{
    move({ position, Mercator::focusDistance(m_camera.distanceMetres, m_radiusNM) }, 600,
        QEasingCurve::InOutQuad);
}

Mercator::Camera RadarMap::zoomedCamera(double levels, const QPointF &about) const
{
    const Mercator::Viewport viewport(m_rect, m_camera);
    const LatLon anchor = viewport.toCoordinate(about);
    const double zoom = std::clamp(viewport.zoom() + levels, Mercator::minZoom, Mercator::maxZoom);
    const QPointF centreWorld = Mercator::project(anchor, zoom) - (about - m_rect.center());
    const LatLon centre = Mercator::unproject(centreWorld, zoom);
    return { centre, Mercator::distanceForZoom(zoom, centre.latitude, m_rect.size()) };
}

void RadarMap::zoomBy(double levels, const QPointF &about, int milliseconds)
{
    if (milliseconds > 0)
        move(zoomedCamera(levels, about), milliseconds, QEasingCurve::OutQuad);
    else
        setCamera(zoomedCamera(levels, about));
}

void RadarMap::pan(const QPointF &delta)
{
    const Mercator::Viewport viewport(m_rect, m_camera);
    LatLon centre = Mercator::unproject(viewport.centreWorld() - delta, viewport.zoom());
    centre.latitude = std::clamp(centre.latitude, -Mercator::maxLatitude, Mercator::maxLatitude);
    // The zoom stays; the distance follows the latitude.
    setCamera(
        { centre, Mercator::distanceForZoom(viewport.zoom(), centre.latitude, m_rect.size()) });
}

Mercator::Camera RadarMap::automaticCamera() const
{
    if (m_home)
        return { { m_home->latitude, m_home->longitude }, Mercator::fitAllDistance(m_radiusNM) };
    double north = -90, south = 90, west = 180, east = -180;
    for (const Aircraft &aircraft : m_aircraft) {
        if (const auto position = aircraft.coordinate()) {
            north = std::max(north, position->latitude);
            south = std::min(south, position->latitude);
            east = std::max(east, position->longitude);
            west = std::min(west, position->longitude);
        }
    }
    if (north < south)
        return { { 20.0, 0.0 }, 40'000'000.0 };
    const LatLon centre { (north + south) / 2, (east + west) / 2 };
    const double metresPerDegree = Mercator::earthRadiusMetres * M_PI / 180.0;
    const double span = std::max((north - south) * metresPerDegree,
        (east - west) * metresPerDegree * std::cos(qDegreesToRadians(centre.latitude)));
    return { centre, std::max(span * 1.3 / Mercator::spanPerDistance, 20'000.0) };
}

std::optional<LatLon> RadarMap::drawnPosition(const Aircraft &aircraft) const
{
    const auto target = aircraft.coordinate();
    if (!target || m_glideFrom.isEmpty())
        return target;
    const auto from = m_glideFrom.constFind(aircraft.hex);
    if (from == m_glideFrom.cend())
        return target;
    return interpolate(*from, *target, glideProgress());
}

double RadarMap::glideProgress() const
{
    return double(m_glideStep) / m_glideSteps;
}

void RadarMap::updateGlideSteps()
{
    const Mercator::Viewport viewport(m_rect, m_camera);
    double longest = 0.0;
    for (const Aircraft &aircraft : std::as_const(m_aircraft)) {
        const auto from = m_glideFrom.constFind(aircraft.hex);
        const auto to = aircraft.coordinate();
        if (from == m_glideFrom.cend() || !to)
            continue;
        const QPointF move = viewport.toScreen(*to) - viewport.toScreen(*from);
        longest = std::max(longest, std::hypot(move.x(), move.y()));
    }
    // At most one step a frame of the animation clock.
    const int steps = int(std::clamp(std::ceil(longest * 2.0), 1.0, 60.0));
    if (steps == m_glideSteps)
        return;
    // The marker stays where it stands.
    const double progress = glideProgress();
    m_glideSteps = steps;
    m_glideStep = std::clamp(int(std::floor(progress * steps)), 0, steps);
}

QRectF RadarMap::markerRect(const QString &hex) const
{
    const auto found = std::find_if(
        m_aircraft.cbegin(), m_aircraft.cend(), [&](const Aircraft &a) { return a.hex == hex; });
    const auto position = found != m_aircraft.cend() ? drawnPosition(*found) : std::nullopt;
    if (!position)
        return {};
    const QPointF centre = Mercator::Viewport(m_rect, m_camera).toScreen(*position);
    const double radius =
        RadarMapRenderer::discDiameter(m_settings.markerScale, hex == m_selectedHex) / 2.0;
    return { centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius) };
}

void RadarMap::updateHalo()
{
    const auto found = m_selectedHex.isEmpty()
        ? m_aircraft.cend()
        : std::find_if(m_aircraft.cbegin(), m_aircraft.cend(),
            [this](const Aircraft &a) { return a.hex == m_selectedHex; });
    const bool shown = found != m_aircraft.cend() && found->coordinate();
    m_haloIndex = shown ? int(found - m_aircraft.cbegin()) : -1;
    if (!shown || m_settings.reduceMotion || !m_shown) {
        m_haloTimer.stop();
        m_haloHex = shown ? m_selectedHex : QString();
        return;
    }
    // A newly shown halo starts its pulse from the disc.
    if (m_selectedHex != m_haloHex || !m_haloClock.isValid())
        m_haloClock.start();
    m_haloHex = m_selectedHex;
    if (!m_haloTimer.isActive())
        m_haloTimer.start();
}

QRectF RadarMap::haloRect(const QPointF &centre) const
{
    // The ring grows to 2.8 times the disc, its outer edge to 1.4 diameters from the centre;
    // a point more for antialiasing.
    const double reach = RadarMapRenderer::discDiameter(m_settings.markerScale, true) * 1.4 + 2.0;
    return QRectF(centre - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach));
}

void RadarMap::haloTick()
{
    // Only the halo moves, so only its rectangle repaints.
    const auto position = m_haloIndex >= 0 && m_haloIndex < m_aircraft.size()
        ? drawnPosition(m_aircraft.at(m_haloIndex))
        : std::nullopt;
    if (!position) {
        updateAll();
        return;
    }
    // A tick where the ring would look the same as at the last one paints nothing: late in
    // the pulse it grows and fades by less than the eye can tell from one tick to the next.
    const double diameter = RadarMapRenderer::discDiameter(m_settings.markerScale, true);
    const RadarMapRenderer::HaloRing ring =
        RadarMapRenderer::haloRing(diameter, haloPhase(), false);
    const std::pair<int, int> look { int(std::lround(ring.radius * 2.0)),
        int(std::lround(ring.opacity * 64.0)) };
    if (look == m_haloLook)
        return;
    m_haloLook = look;
    const QRectF halo = haloRect(Mercator::Viewport(m_rect, m_camera).toScreen(*position));
    if (halo.intersects(m_rect))
        Q_EMIT updated(halo);
}

double RadarMap::haloPhase() const
{
    if (!m_haloClock.isValid())
        return 0.0;
    return double(m_haloClock.elapsed() % haloPulseMilliseconds) / haloPulseMilliseconds;
}

void RadarMap::updateAll()
{
    Q_EMIT updated(m_rect);
}

RadarMapScene RadarMap::scene() const
{
    RadarMapScene scene;
    scene.home = m_home;
    scene.radiusNM = m_radiusNM;
    scene.aircraft = m_aircraft;
    scene.trails = m_trails;
    scene.selectedHex = m_selectedHex;
    // At its last step the glide has arrived: the picture is the one at rest.
    if (!m_glideFrom.isEmpty() && m_glide.state() == QAbstractAnimation::Running
        && m_glideStep < m_glideSteps) {
        scene.drawnPositions.reserve(m_glideFrom.size());
        for (const Aircraft &aircraft : m_aircraft) {
            if (m_glideFrom.contains(aircraft.hex)) {
                if (const auto position = drawnPosition(aircraft))
                    scene.drawnPositions.insert(aircraft.hex, *position);
            }
        }
    }
    scene.haloPhase = haloPhase();
    return scene;
}

void RadarMap::render(QPainter *painter, const QRectF &rect, const QRectF &exposed)
{
    m_renderer.render(painter, rect, m_camera, scene(), m_settings, exposed);
}

QString RadarMap::markerAt(const QPointF &point) const
{
    return m_renderer.markerAt(point, m_rect, m_camera, scene(), m_settings);
}
