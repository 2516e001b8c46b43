// SPDX-License-Identifier: GPL-3.0-or-later
#include "radarmapview.h"

#include "flightstore.h"
#include "mapsettings.h"
#include "preferences.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textutil.h"
#include "tilesource.h"

#include <QActionGroup>
#include <QApplication>
#include <QGestureEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPinchGesture>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double overlayMargin = 12.0;
constexpr double capsulesBottom = 36.0;
constexpr int glideMilliseconds = 800;
constexpr int haloPulseMilliseconds = 1100;

// The buttons that float over the map: a capsule with icon and title, a square of the zoom
// stepper, or the round compass. Painted on a translucent plate so that they read on any map.
class OverlayButton : public QToolButton
{
public:
    enum class Shape { Capsule, Square, Compass };

    OverlayButton(Shape shape, QWidget *parent) : QToolButton(parent), m_shape(shape)
    {
        setAutoRaise(true);
        setCursor(Qt::ArrowCursor);
        setFocusPolicy(Qt::TabFocus);
        if (shape == Shape::Capsule) {
            QFont medium = font();
            medium.setWeight(QFont::Medium);
            setFont(medium);
        }
    }

    void setSymbol(const QString &symbol)
    {
        m_symbol = symbol;
        updateGeometry();
        update();
    }

    QSize sizeHint() const override
    {
        if (m_shape == Shape::Square)
            return { 30, 28 };
        if (m_shape == Shape::Compass)
            return { 36, 36 };
        const QFontMetrics metrics(font());
        const int icon = metrics.height();
        // Padding 11 across and 7 down, as the capsule is drawn.
        return { 11 + icon + 6 + metrics.horizontalAdvance(text()) + 11, 7 + icon + 7 };
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette &pal = palette();
        const QColor ink = isEnabled() ? pal.color(QPalette::WindowText)
                                       : pal.color(QPalette::Disabled, QPalette::WindowText);
        if (m_shape == Shape::Square) {
            // The stepper's plate is its parent's; a press only darkens the half.
            if (isDown()) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(SystemColors::withAlpha(ink, 0.12));
                painter.drawRect(rect());
            }
            const double side = 16;
            Symbols::paint(&painter, m_symbol, QRectF(QPointF(width() - side, height() - side) / 2, QSizeF(side, side)), ink);
            return;
        }
        const QRectF plate = QRectF(rect()).adjusted(1.5, 1.0, -1.5, -2.5);
        const double round = plate.height() / 2.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 40));
        painter.drawRoundedRect(plate.translated(0, 1.5), round, round);
        painter.setBrush(SystemColors::withAlpha(pal.color(QPalette::Window), isDown() ? 0.98 : 0.9));
        painter.setPen(QPen(SystemColors::withAlpha(pal.color(QPalette::WindowText), hasFocus() ? 0.5 : 0.18), 1.0));
        painter.drawRoundedRect(plate, round, round);

        if (m_shape == Shape::Compass) {
            paintNeedle(&painter, plate, ink);
            return;
        }
        const QFontMetricsF metrics(font());
        const double icon = metrics.height();
        const QRectF iconRect(plate.left() + 10, plate.center().y() - icon / 2, icon, icon);
        Symbols::paint(&painter, m_symbol, iconRect, ink);
        painter.setPen(ink);
        painter.drawText(QRectF(iconRect.right() + 6, plate.top(), plate.right() - iconRect.right() - 6, plate.height()),
                         Qt::AlignVCenter | Qt::AlignLeft, text());
    }

private:
    static void paintNeedle(QPainter *painter, const QRectF &plate, const QColor &ink)
    {
        // The map is always north up, so the needle never turns.
        const QPointF c = plate.center();
        const double r = plate.height() / 2.0 - 6.0;
        QPainterPath north;
        north.moveTo(c + QPointF(0, -r));
        north.lineTo(c + QPointF(r * 0.32, 0));
        north.lineTo(c + QPointF(-r * 0.32, 0));
        north.closeSubpath();
        QPainterPath south;
        south.moveTo(c + QPointF(0, r));
        south.lineTo(c + QPointF(r * 0.32, 0));
        south.lineTo(c + QPointF(-r * 0.32, 0));
        south.closeSubpath();
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(255, 59, 48));
        painter->drawPath(north);
        painter->setBrush(SystemColors::withAlpha(ink, 0.45));
        painter->drawPath(south);
    }

    Shape m_shape;
    QString m_symbol;
};

LatLon interpolate(const LatLon &from, const LatLon &to, double t)
{
    double dLon = to.longitude - from.longitude;
    dLon -= 360.0 * std::round(dLon / 360.0);
    return { from.latitude + (to.latitude - from.latitude) * t,
             std::remainder(from.longitude + dLon * t, 360.0) };
}

} // namespace

RadarMapView::RadarMapView(FlightStore *store, Preferences *preferences, TileSource *tiles,
                           QWidget *parent)
    : QWidget(parent), m_store(store), m_preferences(preferences), m_tiles(tiles), m_renderer(tiles)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(240, 200);
    setAccessibleName(tr("Radar map"));
    grabGesture(Qt::PinchGesture);

    m_cameraAnimation.setStartValue(0.0);
    m_cameraAnimation.setEndValue(1.0);
    connect(&m_cameraAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        const double t = value.toDouble();
        const double distance = std::exp(std::log(m_cameraFrom.distanceMetres)
                                         + (std::log(m_cameraTo.distanceMetres) - std::log(m_cameraFrom.distanceMetres)) * t);
        applyCamera({ interpolate(m_cameraFrom.centre, m_cameraTo.centre, t), distance });
    });
    // Exactly where it was sent, whatever the rounding on the way.
    connect(&m_cameraAnimation, &QVariantAnimation::finished, this, [this] { applyCamera(m_cameraTo); });

    m_glide.setStartValue(0.0);
    m_glide.setEndValue(1.0);
    m_glide.setDuration(glideMilliseconds);
    connect(&m_glide, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&m_glide, &QVariantAnimation::finished, this, [this] {
        m_glideFrom.clear();
        update();
    });

    m_haloTimer.setInterval(16);
    connect(&m_haloTimer, &QTimer::timeout, this, [this] {
        // Only the halo moves, so only its neighbourhood repaints.
        const auto found = std::find_if(m_displayed.cbegin(), m_displayed.cend(),
                                        [this](const Aircraft &a) { return a.hex == m_haloHex; });
        const auto position = found != m_displayed.cend() ? drawnPosition(*found) : std::nullopt;
        if (!position) {
            update();
            return;
        }
        const QPointF centre = Mercator::Viewport(rect(), m_camera).toScreen(*position);
        const double reach = RadarMapRenderer::discDiameter(m_preferences->markerScale(), true) * 2.8;
        update(QRectF(centre - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)).toAlignedRect());
    });

    buildControls();

    connect(m_store, &FlightStore::displayedAircraftChanged, this, &RadarMapView::takeDisplayedAircraft);
    connect(m_store, &FlightStore::trailsChanged, this, qOverload<>(&QWidget::update));
    connect(m_store, &FlightStore::homeChanged, this, &RadarMapView::recenter);
    connect(m_store, &FlightStore::radiusNMChanged, this, &RadarMapView::recenter);
    connect(m_store, &FlightStore::selectedHexChanged, this, [this] {
        updateHalo();
        focusOnSelection();
        update();
    });
    if (m_tiles)
        connect(m_tiles, &TileSource::tileReady, this, qOverload<>(&QWidget::update));

    const auto repaint = qOverload<>(&QWidget::update);
    connect(m_preferences, &Preferences::planeColorHexChanged, this, repaint);
    connect(m_preferences, &Preferences::markerScaleChanged, this, repaint);
    connect(m_preferences, &Preferences::increaseContrastChanged, this, repaint);
    connect(m_preferences, &Preferences::differentiateWithoutColorChanged, this, repaint);
    connect(m_preferences, &Preferences::colorByAltitudeChanged, this, repaint);
    connect(m_preferences, &Preferences::showTrailsChanged, this, repaint);
    connect(m_preferences, &Preferences::trailWidthChanged, this, repaint);
    connect(m_preferences, &Preferences::reduceMotionChanged, this, [this] {
        updateHalo();
        update();
    });
    connect(m_preferences, &Preferences::mapStyleChoiceChanged, this, [this] {
        updateStyleControl();
        update();
    });

    m_displayed = m_store->displayedAircraft();
    m_camera = automaticCamera();
    updateHalo();
}

RadarMapView::~RadarMapView() = default;

void RadarMapView::buildControls()
{
    m_capsules = new QWidget(this);
    auto *row = new QHBoxLayout(m_capsules);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);

    auto *fitAll = new OverlayButton(OverlayButton::Shape::Capsule, m_capsules);
    fitAll->setText(tr("Fit All"));
    fitAll->setSymbol(u"scope"_s);
    fitAll->setToolTip(tr("Zoom to show the full search radius"));
    connect(fitAll, &QToolButton::clicked, this, &RadarMapView::recenter);
    row->addWidget(fitAll);

    auto *home = new OverlayButton(OverlayButton::Shape::Capsule, m_capsules);
    home->setText(tr("Home"));
    home->setSymbol(u"house.fill"_s);
    home->setToolTip(tr("Recenter the map on home, keeping the current zoom"));
    connect(home, &QToolButton::clicked, this, &RadarMapView::centerOnHome);
    row->addWidget(home);

    auto *style = new OverlayButton(OverlayButton::Shape::Capsule, m_capsules);
    style->setSymbol(u"square.3.layers.3d"_s);
    style->setToolTip(tr("Choose the map style"));
    style->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(style);
    menu->setAccessibleName(tr("Map style"));
    m_styleGroup = new QActionGroup(menu);
    m_styleGroup->setExclusive(true);
    for (const auto mapStyle : { RadarMapRenderer::Style::Standard, RadarMapRenderer::Style::Muted,
                                 RadarMapRenderer::Style::Imagery, RadarMapRenderer::Style::Hybrid }) {
        QAction *action = menu->addAction(RadarMapRenderer::styleName(mapStyle));
        action->setCheckable(true);
        action->setData(QVariant::fromValue(mapStyle));
        m_styleGroup->addAction(action);
    }
    connect(m_styleGroup, &QActionGroup::triggered, this, [this](QAction *action) {
        m_preferences->setMapStyleChoice(preferenceStyle(action->data().value<MapStyle>()));
    });
    style->setMenu(menu);
    m_styleButton = style;
    row->addWidget(style);

    m_stepper = new QWidget(this);
    m_stepper->setAttribute(Qt::WA_TranslucentBackground);
    auto *column = new QVBoxLayout(m_stepper);
    column->setContentsMargins(1, 1, 1, 1);
    column->setSpacing(1);
    auto *zoomIn = new OverlayButton(OverlayButton::Shape::Square, m_stepper);
    zoomIn->setSymbol(u"plus"_s);
    zoomIn->setToolTip(tr("Zoom in"));
    zoomIn->setAccessibleName(tr("Zoom in"));
    zoomIn->setAutoRepeat(true);
    connect(zoomIn, &QToolButton::clicked, this, [this] { zoomBy(1.0, rect().center()); });
    auto *zoomOut = new OverlayButton(OverlayButton::Shape::Square, m_stepper);
    zoomOut->setSymbol(u"minus"_s);
    zoomOut->setToolTip(tr("Zoom out"));
    zoomOut->setAccessibleName(tr("Zoom out"));
    zoomOut->setAutoRepeat(true);
    connect(zoomOut, &QToolButton::clicked, this, [this] { zoomBy(-1.0, rect().center()); });
    column->addWidget(zoomIn);
    column->addWidget(zoomOut);
    m_stepper->installEventFilter(this);

    m_compass = new OverlayButton(OverlayButton::Shape::Compass, this);
    m_compass->setToolTip(tr("North is up"));
    m_compass->setAccessibleName(tr("Compass, north up"));

    updateStyleControl();
}

void RadarMapView::updateStyleControl()
{
    const MapStyle current = mapStyle(m_preferences->mapStyleChoice());
    m_styleButton->setText(RadarMapRenderer::styleName(current));
    m_styleButton->setAccessibleName(tr("Map style: %1").arg(m_styleButton->text()));
    for (QAction *action : m_styleGroup->actions())
        action->setChecked(action->data().value<MapStyle>() == current);
    layoutOverlays();
}

void RadarMapView::setCornerWidget(QWidget *widget)
{
    if (m_corner == widget)
        return;
    if (m_corner) {
        m_corner->removeEventFilter(this);
        delete m_corner;
    }
    m_corner = widget;
    if (widget) {
        widget->setParent(this);
        widget->installEventFilter(this);
        widget->raise();
        widget->show();
    }
    layoutOverlays();
    update();
}

void RadarMapView::layoutOverlays()
{
    if (m_capsules) {
        m_capsules->adjustSize();
        m_capsules->move(int(overlayMargin), height() - int(capsulesBottom) - m_capsules->height());
        m_capsules->raise();
    }
    if (m_stepper) {
        m_stepper->adjustSize();
        m_stepper->move(width() - int(overlayMargin) - m_stepper->width(), int(overlayMargin));
        m_compass->resize(m_compass->sizeHint());
        m_compass->move(m_stepper->geometry().center().x() - m_compass->width() / 2,
                        m_stepper->geometry().bottom() + 10);
    }
    if (m_corner && !m_corner->isHidden()) {
        const int available = width() - 2 * int(overlayMargin);
        QSize hint = m_corner->sizeHint();
        if (!hint.isValid())
            hint = m_corner->size();
        hint = hint.expandedTo(m_corner->minimumSize()).boundedTo(m_corner->maximumSize());
        const int w = std::min(hint.width(), available);
        int h = m_corner->hasHeightForWidth() ? m_corner->heightForWidth(w) : hint.height();
        h = std::min(h, height() - 2 * int(overlayMargin));
        m_corner->setGeometry(width() - int(overlayMargin) - w, height() - int(overlayMargin) - h, w, h);
        m_corner->raise();
    }
}

bool RadarMapView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_corner) {
        switch (event->type()) {
        case QEvent::LayoutRequest:
        case QEvent::Show:
        case QEvent::Hide:
            layoutOverlays();
            update();
            break;
        default:
            break;
        }
    } else if (watched == m_stepper && event->type() == QEvent::Paint) {
        // One plate for both halves, with a hairline between them.
        QPainter painter(m_stepper);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF plate = QRectF(m_stepper->rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setBrush(SystemColors::withAlpha(palette().color(QPalette::Window), 0.9));
        painter.setPen(QPen(SystemColors::withAlpha(palette().color(QPalette::WindowText), 0.18), 1.0));
        painter.drawRoundedRect(plate, 7, 7);
        painter.drawLine(QPointF(plate.left() + 5, plate.center().y()), QPointF(plate.right() - 5, plate.center().y()));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

Mercator::Camera RadarMapView::targetCamera() const
{
    return isCameraMoving() ? m_cameraTo : m_camera;
}

bool RadarMapView::isCameraMoving() const
{
    return m_cameraAnimation.state() == QAbstractAnimation::Running;
}

void RadarMapView::setCamera(const Mercator::Camera &camera)
{
    stopCamera();
    m_cameraChosen = true;
    applyCamera(camera);
}

void RadarMapView::applyCamera(const Mercator::Camera &camera)
{
    m_camera.centre.latitude = std::clamp(camera.centre.latitude, -Mercator::maxLatitude, Mercator::maxLatitude);
    m_camera.centre.longitude = std::remainder(camera.centre.longitude, 360.0);
    m_camera.distanceMetres = std::max(camera.distanceMetres, 1.0);
    Q_EMIT cameraChanged();
    update();
}

void RadarMapView::stopCamera()
{
    m_cameraAnimation.stop();
}

void RadarMapView::move(const Mercator::Camera &target, int milliseconds, QEasingCurve::Type easing)
{
    stopCamera();
    m_cameraChosen = true;
    if (m_preferences->reduceMotion() || !isVisible()) {
        applyCamera(target);
        return;
    }
    m_cameraFrom = m_camera;
    m_cameraTo = target;
    m_cameraAnimation.setDuration(milliseconds);
    m_cameraAnimation.setEasingCurve(easing);
    m_cameraAnimation.start();
}

void RadarMapView::recenter()
{
    const auto &home = m_store->home();
    if (!home)
        return;
    move({ { home->latitude, home->longitude }, Mercator::fitAllDistance(m_store->radiusNM()) }, 500,
         QEasingCurve::InOutQuad);
}

void RadarMapView::centerOnHome()
{
    const auto &home = m_store->home();
    if (!home)
        return;
    move({ { home->latitude, home->longitude }, Mercator::homeDistance(cameraDistance(), m_store->radiusNM()) },
         500, QEasingCurve::InOutQuad);
}

void RadarMapView::focusOnSelection()
{
    const auto selected = m_store->selectedAircraft();
    if (!selected)
        return;
    const auto position = selected->coordinate();
    if (!position)
        return;
    move({ *position, Mercator::focusDistance(cameraDistance(), m_store->radiusNM()) }, 600,
         QEasingCurve::InOutQuad);
}

Mercator::Camera RadarMapView::zoomedCamera(double levels, const QPointF &about) const
{
    const Mercator::Viewport viewport(rect(), m_camera);
    const LatLon anchor = viewport.toCoordinate(about);
    const double zoom = std::clamp(viewport.zoom() + levels, Mercator::minZoom, Mercator::maxZoom);
    const QPointF centreWorld = Mercator::project(anchor, zoom) - (about - QRectF(rect()).center());
    const LatLon centre = Mercator::unproject(centreWorld, zoom);
    return { centre, Mercator::distanceForZoom(zoom, centre.latitude, size()) };
}

void RadarMapView::zoomBy(double levels, const QPointF &about)
{
    setCamera(zoomedCamera(levels, about));
}

void RadarMapView::pan(const QPointF &delta)
{
    const Mercator::Viewport viewport(rect(), m_camera);
    LatLon centre = Mercator::unproject(viewport.centreWorld() - delta, viewport.zoom());
    centre.latitude = std::clamp(centre.latitude, -Mercator::maxLatitude, Mercator::maxLatitude);
    // The zoom stays; the distance follows the latitude.
    setCamera({ centre, Mercator::distanceForZoom(viewport.zoom(), centre.latitude, size()) });
}

Mercator::Camera RadarMapView::automaticCamera() const
{
    if (const auto &home = m_store->home())
        return { { home->latitude, home->longitude }, Mercator::fitAllDistance(m_store->radiusNM()) };
    double north = -90, south = 90, west = 180, east = -180;
    for (const Aircraft &aircraft : m_displayed) {
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

void RadarMapView::takeDisplayedAircraft()
{
    QList<Aircraft> next = m_store->displayedAircraft();
    QHash<QString, LatLon> from;
    if (!m_preferences->reduceMotion() && isVisible()) {
        // Each marker glides from where it stands now, even mid-glide.
        QHash<QString, LatLon> standing;
        for (const Aircraft &aircraft : std::as_const(m_displayed)) {
            if (const auto position = drawnPosition(aircraft))
                standing.insert(aircraft.hex, *position);
        }
        for (const Aircraft &aircraft : std::as_const(next)) {
            const auto target = aircraft.coordinate();
            const auto now = standing.constFind(aircraft.hex);
            if (target && now != standing.cend() && *now != *target)
                from.insert(aircraft.hex, *now);
        }
    }
    m_glide.stop();
    m_displayed = std::move(next);
    m_glideFrom = std::move(from);
    if (!m_glideFrom.isEmpty())
        m_glide.start();
    if (!m_cameraChosen)
        m_camera = automaticCamera();
    updateHalo();
    update();
}

std::optional<LatLon> RadarMapView::drawnPosition(const Aircraft &aircraft) const
{
    const auto target = aircraft.coordinate();
    if (!target || m_glideFrom.isEmpty())
        return target;
    const auto from = m_glideFrom.constFind(aircraft.hex);
    if (from == m_glideFrom.cend())
        return target;
    return interpolate(*from, *target, m_glide.currentValue().toDouble());
}

void RadarMapView::updateHalo()
{
    const QString hex = m_store->selectedHex();
    const bool shown = !hex.isEmpty()
        && std::any_of(m_displayed.cbegin(), m_displayed.cend(),
                       [&](const Aircraft &a) { return a.hex == hex && a.coordinate(); });
    if (!shown || m_preferences->reduceMotion()) {
        m_haloTimer.stop();
        m_haloHex = shown ? hex : QString();
        return;
    }
    // A newly shown halo starts its pulse from the disc.
    if (hex != m_haloHex || !m_haloClock.isValid())
        m_haloClock.start();
    m_haloHex = hex;
    if (!m_haloTimer.isActive())
        m_haloTimer.start();
}

RadarMapScene RadarMapView::scene() const
{
    RadarMapScene scene;
    scene.home = m_store->home();
    scene.radiusNM = m_store->radiusNM();
    scene.aircraft = m_displayed;
    scene.trails = m_store->trails();
    scene.selectedHex = m_store->selectedHex();
    if (!m_glideFrom.isEmpty() && m_glide.state() == QAbstractAnimation::Running) {
        for (const Aircraft &aircraft : m_displayed) {
            if (m_glideFrom.contains(aircraft.hex)) {
                if (const auto position = drawnPosition(aircraft))
                    scene.drawnPositions.insert(aircraft.hex, *position);
            }
        }
    }
    if (m_haloClock.isValid())
        scene.haloPhase = double(m_haloClock.elapsed() % haloPulseMilliseconds) / haloPulseMilliseconds;
    return scene;
}

RadarMapSettings RadarMapView::settings() const
{
    RadarMapSettings settings = mapSettings(*m_preferences, palette());
    settings.keyBottomMargin = capsulesBottom + (m_capsules ? m_capsules->height() : 0) + 8.0;
    if (m_corner && m_corner->isVisible())
        settings.attributionRightMargin = width() - m_corner->geometry().left() + overlayMargin;
    return settings;
}

void RadarMapView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    m_renderer.render(&painter, rect(), m_camera, scene(), settings(), event->rect());
}

void RadarMapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutOverlays();
}

void RadarMapView::wheelEvent(QWheelEvent *event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0) {
        event->ignore();
        return;
    }
    zoomBy(notches * 0.5, event->position());
    event->accept();
}

void RadarMapView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = true;
    m_dragging = false;
    m_pressPosition = m_lastPosition = event->position();
    event->accept();
}

void RadarMapView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    if (!m_dragging && (event->position() - m_pressPosition).manhattanLength() >= QApplication::startDragDistance()) {
        m_dragging = true;
        setCursor(Qt::ClosedHandCursor);
    }
    if (m_dragging) {
        pan(event->position() - m_lastPosition);
        m_lastPosition = event->position();
    }
}

void RadarMapView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    if (m_dragging) {
        m_dragging = false;
        unsetCursor();
        return;
    }
    // A click on empty map clears the selection, as a click on a marker makes it.
    m_store->setSelectedHex(m_renderer.markerAt(event->position(), rect(), m_camera, scene(), settings()));
}

void RadarMapView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_renderer.markerAt(event->position(), rect(), m_camera, scene(), settings()).isEmpty())
        move(zoomedCamera(1.0, event->position()), 250, QEasingCurve::OutQuad);
}

void RadarMapView::keyPressEvent(QKeyEvent *event)
{
    constexpr double step = 80.0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(1.0, rect().center());
        break;
    case Qt::Key_Minus:
        zoomBy(-1.0, rect().center());
        break;
    case Qt::Key_Left:
        pan({ step, 0 });
        break;
    case Qt::Key_Right:
        pan({ -step, 0 });
        break;
    case Qt::Key_Up:
        pan({ 0, step });
        break;
    case Qt::Key_Down:
        pan({ 0, -step });
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool RadarMapView::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ToolTip: {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString hex = m_renderer.markerAt(help->pos(), rect(), m_camera, scene(), settings());
        const auto found = std::find_if(m_displayed.cbegin(), m_displayed.cend(),
                                        [&](const Aircraft &a) { return a.hex == hex; });
        if (found == m_displayed.cend()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // The text carries the feed's callsign and registration.
            QToolTip::showText(help->globalPos(),
                               TextUtil::plainToolTip(RadarMapRenderer::accessibilityText(
                                   *found, m_preferences->distanceUnitText())),
                               this);
        }
        return true;
    }
    case QEvent::NativeGesture: {
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            zoomBy(std::log2(1.0 + gesture->value()), gesture->position());
            return true;
        }
        break;
    }
    case QEvent::Gesture: {
        auto *gestures = static_cast<QGestureEvent *>(event);
        if (auto *pinch = static_cast<QPinchGesture *>(gestures->gesture(Qt::PinchGesture))) {
            if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged && pinch->scaleFactor() > 0)
                zoomBy(std::log2(pinch->scaleFactor()), mapFromGlobal(pinch->centerPoint().toPoint()));
            gestures->accept(pinch);
            return true;
        }
        break;
    }
    case QEvent::PaletteChange:
        update();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}
