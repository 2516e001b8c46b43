// SPDX-License-Identifier: GPL-3.0-or-later
#include "radarmapview.h"

#include "flightstore.h"
#include "mapsettings.h"
#include "preferences.h"
#include "radarmapaccessible.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textutil.h"

#include <QAccessible>
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
#include <QScreen>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double overlayMargin = 12.0;
constexpr double capsulesBottom = 36.0;
constexpr double focusFrameWidth = 2.0;
constexpr int compassGap = 10;
// Between the card and the controls that keep clear of it.
constexpr int clearance = 8;

// The buttons that float over the map: a capsule with icon and title, a square of the zoom
// stepper, or the round compass. Painted on a frosted plate so that they read on any map.
class OverlayButton : public QToolButton {
public:
    enum class Shape { Capsule, Square, Compass };

    OverlayButton(Shape shape, QWidget *parent)
        : QToolButton(parent)
        , m_shape(shape)
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

    // A compact capsule shows its symbol alone; the title stays its tooltip and its name.
    void setCompact(bool compact)
    {
        if (m_compact == compact)
            return;
        m_compact = compact;
        updateGeometry();
        update();
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
        if (m_compact)
            return { 11 + icon + 11, 7 + icon + 7 };
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
            Symbols::paint(&painter, m_symbol,
                QRectF(QPointF(width() - side, height() - side) / 2, QSizeF(side, side)), ink);
            return;
        }
        const QRectF plate = QRectF(rect()).adjusted(1.5, 1.0, -1.5, -2.5);
        const double round = plate.height() / 2.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 40));
        painter.drawRoundedRect(plate.translated(0, 1.5), round, round);
        QPainterPath shape;
        shape.addRoundedRect(plate, round, round);
        Backdrop::paintPlate(&painter, this, shape);
        if (isDown())
            painter.fillPath(shape, SystemColors::withAlpha(ink, 0.12));
        painter.setPen(
            QPen(SystemColors::withAlpha(pal.color(QPalette::WindowText), hasFocus() ? 0.5 : 0.18),
                1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);

        if (m_shape == Shape::Compass) {
            paintNeedle(&painter, plate, ink);
            return;
        }
        const QFontMetricsF metrics(font());
        const double icon = metrics.height();
        if (m_compact) {
            Symbols::paint(&painter, m_symbol,
                QRectF(plate.center() - QPointF(icon, icon) / 2, QSizeF(icon, icon)), ink);
            return;
        }
        const QRectF iconRect(plate.left() + 10, plate.center().y() - icon / 2, icon, icon);
        Symbols::paint(&painter, m_symbol, iconRect, ink);
        painter.setPen(ink);
        painter.drawText(QRectF(iconRect.right() + 6, plate.top(),
                             plate.right() - iconRect.right() - 6, plate.height()),
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
    bool m_compact = false;
};

} // namespace

RadarMapView::RadarMapView(
    FlightStore *store, Preferences *preferences, TileSource *tiles, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_preferences(preferences)
    , m_map(tiles)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(240, 200);
    setAccessibleName(tr("Radar map"));
    // The markers are painted, so the map tells screen readers about them itself.
    static const bool accessibleMarkers = [] {
        QAccessible::installFactory(&RadarMapAccessible::create);
        return true;
    }();
    Q_UNUSED(accessibleMarkers)
    grabGesture(Qt::PinchGesture);

    connect(&m_map, &RadarMap::updated, this,
        [this](const QRectF &dirty) { updateMap(dirty.toAlignedRect()); });
    connect(&m_map, &RadarMap::cameraChanged, this, &RadarMapView::cameraChanged);

    buildControls();

    connect(m_store, &FlightStore::displayedAircraftChanged, this, &RadarMapView::updateAircraft);
    connect(
        m_store, &FlightStore::trailsChanged, this, [this] { m_map.setTrails(m_store->trails()); });
    connect(m_store, &FlightStore::homeChanged, this, [this] {
        m_map.setHome(m_store->home());
        m_map.recenter();
    });
    connect(m_store, &FlightStore::radiusNMChanged, this, [this] {
        m_map.setRadiusNM(m_store->radiusNM());
        m_map.recenter();
    });
    connect(m_store, &FlightStore::selectedHexChanged, this, [this] {
        const QString previous = m_map.scene().selectedHex;
        m_map.setSelectedHex(m_store->selectedHex());
        focusOnSelection();
        announceSelection(previous);
    });

    const auto settingsChanged = &RadarMapView::updateSettings;
    connect(m_preferences, &Preferences::planeColorHexChanged, this, settingsChanged);
    connect(m_preferences, &Preferences::markerScaleChanged, this, settingsChanged);
    connect(m_preferences, &Preferences::increaseContrastChanged, this, settingsChanged);
    connect(m_preferences, &Preferences::differentiateWithoutColorChanged, this, settingsChanged);
    connect(m_preferences, &Preferences::colorByAltitudeChanged, this, settingsChanged);
    connect(m_preferences, &Preferences::showTrailsChanged, this, settingsChanged);
    connect(m_preferences, &Preferences::trailWidthChanged, this, settingsChanged);
    connect(m_preferences, &Preferences::reduceMotionChanged, this, settingsChanged);
    connect(m_preferences, &Preferences::mapStyleChoiceChanged, this,
        &RadarMapView::updateStyleControl);

    m_map.setRect(rect());
    m_map.setShown(isVisible());
    m_map.setHome(m_store->home());
    m_map.setRadiusNM(m_store->radiusNM());
    m_map.setTrails(m_store->trails());
    m_map.setSelectedHex(m_store->selectedHex());
    updateAircraft();
}

RadarMapView::~RadarMapView() = default;

QString RadarMapView::markerDescription(const QString &hex) const
{
    const QList<Aircraft> &shown = m_map.aircraft();
    const auto found =
        std::find_if(shown.cbegin(), shown.cend(), [&](const Aircraft &a) { return a.hex == hex; });
    if (found == shown.cend() || !found->coordinate())
        return {};
    return RadarMapRenderer::accessibilityText(*found, m_preferences->distanceUnitText());
}

void RadarMapView::updateAircraft()
{
    const QList<Aircraft> &aircraft = m_store->displayedAircraft();
    m_map.setAircraft(aircraft);
    QStringList hexes;
    hexes.reserve(aircraft.size());
    for (const Aircraft &shown : aircraft) {
        if (shown.coordinate())
            hexes.append(shown.hex);
    }
    if (hexes == m_markerHexes)
        return;
    m_markerHexes = std::move(hexes);
    QAccessibleEvent reorder(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reorder);
}

void RadarMapView::announceSelection(const QString &previous)
{
    if (!QAccessible::isActive())
        return;
    auto *map = dynamic_cast<RadarMapAccessible *>(QAccessible::queryAccessibleInterface(this));
    if (!map)
        return;
    QAccessible::State selected;
    selected.selected = true;
    for (const QString &hex : { previous, m_store->selectedHex() }) {
        if (QAccessibleInterface *marker = map->existingMarker(hex)) {
            QAccessibleStateChangeEvent changed(marker, selected);
            QAccessible::updateAccessibility(&changed);
        }
    }
}

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
    m_capsuleButtons.append(fitAll);

    auto *home = new OverlayButton(OverlayButton::Shape::Capsule, m_capsules);
    home->setText(tr("Home"));
    home->setSymbol(u"house.fill"_s);
    home->setToolTip(tr("Recenter the map on home, keeping the current zoom"));
    connect(home, &QToolButton::clicked, this, &RadarMapView::centerOnHome);
    row->addWidget(home);
    m_capsuleButtons.append(home);

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
    // The keyboard starts on the style in use.
    connect(menu, &QMenu::aboutToShow, menu,
        [this, menu] { menu->setActiveAction(m_styleGroup->checkedAction()); });
    menu->installEventFilter(this);
    style->setMenu(menu);
    m_styleButton = style;
    row->addWidget(style);
    m_capsuleButtons.append(style);

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
}

void RadarMapView::layoutOverlays()
{
    if (!m_compass)
        return;
    const int margin = int(overlayMargin);
    m_stepper->adjustSize();
    m_compass->resize(m_compass->sizeHint());
    const int column = std::max(m_stepper->width(), m_compass->width());
    const int controlsRight =
        placeCorner(column, m_stepper->height() + compassGap + m_compass->height());
    const int centre = controlsRight - column / 2;
    m_stepper->move(centre - m_stepper->width() / 2, margin);
    m_compass->move(
        centre - m_compass->width() / 2, m_stepper->geometry().bottom() + 1 + compassGap);

    // The capsules keep their titles while they fit left of the card.
    const bool card = m_corner && !m_corner->isHidden();
    setCapsulesCompact(false);
    m_capsules->adjustSize();
    if (card && margin + m_capsules->width() + clearance > m_corner->geometry().left()) {
        setCapsulesCompact(true);
        m_capsules->adjustSize();
    }
    m_capsules->move(margin, height() - int(capsulesBottom) - m_capsules->height());
    m_capsules->raise();
    // The altitude key and the attribution keep clear of the controls.
    updateSettings();
}

int RadarMapView::placeCorner(int controlsWidth, int controlsHeight)
{
    const int margin = int(overlayMargin);
    const int controlsRight = width() - margin;
    if (!m_corner || m_corner->isHidden())
        return controlsRight;
    QSize hint = m_corner->sizeHint();
    if (!hint.isValid())
        hint = m_corner->size();
    const int w =
        std::min(std::clamp(hint.width(), m_corner->minimumWidth(), m_corner->maximumWidth()),
            width() - 2 * margin);
    const int full = m_corner->hasHeightForWidth() ? m_corner->heightForWidth(w) : hint.height();
    const int left = width() - margin - w;
    const int underControls = height() - 2 * margin - controlsHeight - clearance;
    const int besideRight = left - clearance;
    // A card that fits under the controls leaves them in place; a taller one takes the whole
    // height and the controls stand beside it, unless the map is too narrow for that too.
    const bool beside = full > underControls && besideRight - controlsWidth >= margin;
    const int room = std::max(0, beside ? height() - 2 * margin : underControls);
    // A card taller than the room scrolls.
    m_corner->setMaximumHeight(room);
    const int h =
        std::clamp(full, m_corner->minimumHeight(), std::max(room, m_corner->minimumHeight()));
    m_corner->setGeometry(left, height() - margin - h, w, h);
    m_corner->raise();
    return beside ? besideRight : controlsRight;
}

void RadarMapView::setCapsulesCompact(bool compact)
{
    for (QToolButton *button : std::as_const(m_capsuleButtons))
        static_cast<OverlayButton *>(button)->setCompact(compact);
    m_capsules->layout()->activate();
}

void RadarMapView::placeStyleMenu()
{
    QMenu *menu = m_styleButton->menu();
    const QScreen *screen = m_styleButton->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QRect button(m_styleButton->mapToGlobal(QPoint()), m_styleButton->size());
    const QSize size = menu->sizeHint();
    QPoint at(button.left(), button.top() - size.height());
    if (at.y() < available.top())
        at.setY(button.bottom() + 1);
    at.setY(std::clamp(at.y(), available.top(),
        std::max(available.top(), available.bottom() + 1 - size.height())));
    at.setX(std::clamp(at.x(), available.left(),
        std::max(available.left(), available.right() + 1 - size.width())));
    menu->move(at);
}

void RadarMapView::updateMap(const QRect &dirty)
{
    update(dirty);
    const QWidget *plates[] = { m_corner, m_capsules, m_stepper, m_compass };
    for (const QWidget *plate : plates) {
        if (plate && plate->isVisible() && plate->geometry().intersects(dirty))
            update(plate->geometry());
    }
    if (settings().colorByAltitude) {
        const QRect key =
            RadarMapRenderer::altitudeKeyRect(QRectF(rect()), settings()).toAlignedRect();
        if (key.intersects(dirty))
            update(key);
    }
}

QImage RadarMapView::behind(const QRect &area) const
{
    if (m_frame.isNull())
        return {};
    const qreal ratio = m_frame.devicePixelRatio();
    const QRect pixels = QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio)
                             .toAlignedRect()
                             .intersected(m_frame.rect());
    return m_frame.copy(pixels);
}

bool RadarMapView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_styleButton->menu() && event->type() == QEvent::Show) {
        placeStyleMenu();
    } else if (watched == m_corner) {
        switch (event->type()) {
        case QEvent::LayoutRequest:
        case QEvent::Show:
        case QEvent::Hide:
            layoutOverlays();
            break;
        default:
            break;
        }
    } else if (watched == m_stepper && event->type() == QEvent::Paint) {
        // One plate for both halves, with a hairline between them.
        QPainter painter(m_stepper);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF plate = QRectF(m_stepper->rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath shape;
        shape.addRoundedRect(plate, 7, 7);
        Backdrop::paintPlate(&painter, m_stepper, shape);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(
            QPen(SystemColors::withAlpha(palette().color(QPalette::WindowText), 0.18), 1.0));
        painter.drawPath(shape);
        painter.drawLine(QPointF(plate.left() + 5, plate.center().y()),
            QPointF(plate.right() - 5, plate.center().y()));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void RadarMapView::focusOnSelection()
{
    const auto selected = m_store->selectedAircraft();
    if (!selected)
        return;
    if (const auto position = selected->coordinate())
        m_map.focusOn(*position);
}

void RadarMapView::updateSettings()
{
    RadarMapSettings settings = mapSettings(*m_preferences, palette());
    settings.keyBottomMargin = capsulesBottom + (m_capsules ? m_capsules->height() : 0) + 8.0;
    if (m_corner && m_corner->isVisible()) {
        settings.attributionRightMargin = width() - m_corner->geometry().left() + overlayMargin;
        // Where the card leaves too little room for the key above the capsules, it goes to
        // the top-left corner.
        settings.keyAtTop =
            RadarMapRenderer::altitudeKeyRect(QRectF(rect()), settings).right() + clearance
            > m_corner->geometry().left();
    }
    m_map.setSettings(settings);
}

void RadarMapView::paintEvent(QPaintEvent *event)
{
    // The map goes through a picture of its own, which the plates over it read back.
    const qreal ratio = devicePixelRatioF();
    QRegion exposed = event->region();
    // The plates over the map blur the picture under them, which Qt leaves out of the region
    // where they are opaque: it is painted there too.
    const QRect bounds = exposed.boundingRect();
    for (const QWidget *plate :
        { m_corner.data(), m_capsules, m_stepper, static_cast<QWidget *>(m_compass) }) {
        if (plate && plate->isVisible() && plate->geometry().intersects(bounds))
            exposed += plate->geometry();
    }
    if (m_frame.size() != size() * ratio || m_frame.devicePixelRatio() != ratio) {
        m_frame = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        m_frame.setDevicePixelRatio(ratio);
        exposed = rect();
    }
    // Only what is exposed is painted: a pulsing halo costs its own rectangle. A region of
    // many pieces is painted as its bounding rectangle.
    const QList<QRect> parts = exposed.rectCount() <= 8
        ? QList<QRect>(exposed.begin(), exposed.end())
        : QList<QRect> { exposed.boundingRect() };
    {
        QPainter frame(&m_frame);
        for (const QRect &part : parts) {
            frame.setClipRect(part);
            m_map.render(&frame, rect(), part);
        }
    }
    QPainter painter(this);
    for (const QRect &part : event->region()) {
        painter.drawImage(
            part, m_frame, QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
    }
    if (hasFocus()) {
        // Keyboard focus has no other mark on the map: a frame in the accent colour.
        painter.setPen(QPen(palette().color(QPalette::Highlight), focusFrameWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void RadarMapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_map.setRect(rect());
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
    if (!m_dragging
        && (event->position() - m_pressPosition).manhattanLength()
            >= QApplication::startDragDistance()) {
        m_dragging = true;
        setCursor(Qt::ClosedHandCursor);
    }
    if (m_dragging) {
        m_map.pan(event->position() - m_lastPosition);
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
    m_store->setSelectedHex(m_map.markerAt(event->position()));
}

void RadarMapView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_map.markerAt(event->position()).isEmpty())
        m_map.zoomBy(1.0, event->position(), 250);
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
        m_map.pan({ step, 0 });
        break;
    case Qt::Key_Right:
        m_map.pan({ -step, 0 });
        break;
    case Qt::Key_Up:
        m_map.pan({ 0, step });
        break;
    case Qt::Key_Down:
        m_map.pan({ 0, -step });
        break;
    case Qt::Key_Escape:
        // Closes the card, as in the list; with nothing selected it goes on to the window.
        if (m_store->selectedHex().isEmpty()) {
            event->ignore();
            return;
        }
        m_store->setSelectedHex({});
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
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        update();
        break;
    case QEvent::ToolTip: {
        auto *help = static_cast<QHelpEvent *>(event);
        QString text = markerDescription(m_map.markerAt(help->pos()));
        // The attribution may be cut short; its tooltip reads it whole.
        if (text.isEmpty()
            && RadarMapRenderer::attributionLine(
                QRectF(rect()), settings().mapStyleChoice, settings())
                   .box.contains(help->pos()))
            text = RadarMapRenderer::attribution(settings().mapStyleChoice);
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // The text carries the feed's callsign and registration.
            QToolTip::showText(help->globalPos(), TextUtil::plainToolTip(text), this);
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
            if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged
                && pinch->scaleFactor() > 0)
                zoomBy(
                    std::log2(pinch->scaleFactor()), mapFromGlobal(pinch->centerPoint().toPoint()));
            gestures->accept(pinch);
            return true;
        }
        break;
    }
    case QEvent::PaletteChange:
        updateSettings();
        break;
    case QEvent::Show:
    case QEvent::Hide:
        // Moves and glides animate only while someone can watch them.
        m_map.setShown(isVisible());
        break;
    default:
        break;
    }
    return QWidget::event(event);
}
