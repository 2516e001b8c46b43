// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mercator.h"
#include "radarmap.h"
#include "radarmaprenderer.h"
#include "views/backdrop.h"

#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class FlightStore;
class Preferences;
class QActionGroup;
class QToolButton;
class TileSource;

// The map pane: the flight store's displayed aircraft over the basemap, with the camera
// operations "Fit All", "Home" and the flight to a newly selected aircraft, the map style
// menu, a zoom stepper and a compass. It feeds the store and the preferences to a RadarMap,
// which owns the camera and the picture, and turns input into its moves and selections.
// What floats over it paints its plate from the picture underneath (Backdrop).
class RadarMapView : public QWidget, public Backdrop {
    Q_OBJECT
public:
    RadarMapView(
        FlightStore *store, Preferences *preferences, TileSource *tiles, QWidget *parent = nullptr);
    ~RadarMapView() override;

    // Keeps @p widget floating in the bottom-right corner, 12 points in, above the map
    // (the detail card). The view takes it over; a previous one is deleted. It never covers
    // the controls: its maximum height is set to the room they leave, the stepper and the
    // compass step aside to its left when it is too tall to stand under them, and the
    // capsules drop their titles when it leaves them too little width.
    void setCornerWidget(QWidget *widget);

    const Mercator::Camera &camera() const { return m_map.camera(); }
    // Where the camera is heading; the camera itself while it is not moving.
    Mercator::Camera targetCamera() const { return m_map.targetCamera(); }
    double cameraDistance() const { return m_map.camera().distanceMetres; }
    bool isCameraMoving() const { return m_map.isCameraMoving(); }
    // Whether a clock runs for the map (a move, a glide, the halo's pulse).
    bool isAnimating() const { return m_map.isAnimating(); }
    // Jumps there at once, as a user's gesture would.
    void setCamera(const Mercator::Camera &camera) { m_map.setCamera(camera); }

    // "Fit All": home, far enough to show the whole range ring.
    void recenter() { m_map.recenter(); }
    // "Home": home at the present distance.
    void centerOnHome() { m_map.centerOnHome(); }
    // To the selected aircraft at the present distance, if it has a position.
    void focusOnSelection();
    // Zooms by whole or fractional levels, keeping the point @p about where it is.
    void zoomBy(double levels, const QPointF &about) { m_map.zoomBy(levels, about); }

    RadarMapScene scene() const { return m_map.scene(); }

    FlightStore *store() const { return m_store; }
    // The hexes of the aircraft drawn as markers, in list order.
    const QStringList &markerHexes() const { return m_markerHexes; }
    // The disc of @p hex's marker in widget coordinates; empty when it is not drawn.
    QRectF markerRect(const QString &hex) const { return m_map.markerRect(hex); }
    // The hex of the marker seen at @p point; empty when there is none.
    QString markerAt(const QPointF &point) const { return m_map.markerAt(point); }
    // What a screen reader says for @p hex's marker; empty when it is not drawn.
    QString markerDescription(const QString &hex) const;
    const RadarMapSettings &settings() const { return m_map.settings(); }

    QImage behind(const QRect &area) const override;

Q_SIGNALS:
    void cameraChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void layoutOverlays();
    // Places the card and returns the right edge left for the stepper and the compass.
    int placeCorner(int controlsWidth, int controlsHeight);
    void setCapsulesCompact(bool compact);
    // The style menu opens above its button, where the map has room, unless the screen ends.
    void placeStyleMenu();
    // Asks for a repaint of @p dirty, and of all of any plate over it: a plate blurs what
    // lies around each of its points, so it is painted whole.
    void updateMap(const QRect &dirty);
    void updateStyleControl();
    // Hands the map the preferences and the room the controls take.
    void updateSettings();
    // Hands the map the store's aircraft, and tells screen readers when the markers change.
    void updateAircraft();
    void announceSelection(const QString &previous);

    FlightStore *m_store;
    Preferences *m_preferences;
    RadarMap m_map;
    QStringList m_markerHexes;

    bool m_pressed = false;
    bool m_dragging = false;
    QPointF m_pressPosition;
    QPointF m_lastPosition;

    // The picture of the map as last painted, which the plates over it blur.
    QImage m_frame;

    QWidget *m_capsules = nullptr;
    QList<QToolButton *> m_capsuleButtons;
    QToolButton *m_styleButton = nullptr;
    QActionGroup *m_styleGroup = nullptr;
    QWidget *m_stepper = nullptr;
    QToolButton *m_compass = nullptr;
    QPointer<QWidget> m_corner;
};
