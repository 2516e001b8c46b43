// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "mercator.h"
#include "radarmaprenderer.h"

#include <QElapsedTimer>
#include <QEasingCurve>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <optional>

class FlightStore;
class Preferences;
class QActionGroup;
class QToolButton;
class TileSource;

// The map pane: the flight store's displayed aircraft over the basemap, with the camera
// operations "Fit All", "Home" and the flight to a newly selected aircraft, the map style
// menu, a zoom stepper and a compass. It only turns input into camera moves and selections;
// the picture is RadarMapRenderer's.
class RadarMapView : public QWidget
{
    Q_OBJECT
public:
    RadarMapView(FlightStore *store, Preferences *preferences, TileSource *tiles,
                 QWidget *parent = nullptr);
    ~RadarMapView() override;

    // Keeps @p widget floating in the bottom-right corner, 12 points in, above the map
    // (the detail card). The view takes it over; a previous one is deleted.
    void setCornerWidget(QWidget *widget);
    QWidget *cornerWidget() const { return m_corner; }

    const Mercator::Camera &camera() const { return m_camera; }
    // Where the camera is heading; the camera itself while it is not moving.
    Mercator::Camera targetCamera() const;
    double cameraDistance() const { return m_camera.distanceMetres; }
    bool isCameraMoving() const;
    // Jumps there at once, as a user's gesture would.
    void setCamera(const Mercator::Camera &camera);

    // "Fit All": home, far enough to show the whole range ring.
    void recenter();
    // "Home": home at the present distance.
    void centerOnHome();
    // To the selected aircraft at the present distance, if it has a position.
    void focusOnSelection();
    // Zooms by whole or fractional levels, keeping the point @p about where it is.
    void zoomBy(double levels, const QPointF &about);

    RadarMapRenderer &renderer() { return m_renderer; }
    RadarMapScene scene() const;
    RadarMapSettings settings() const;

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
    void updateStyleControl();
    void takeDisplayedAircraft();
    void updateHalo();
    // Moves there, animated unless motion is reduced.
    void move(const Mercator::Camera &target, int milliseconds, QEasingCurve::Type easing);
    void applyCamera(const Mercator::Camera &camera);
    void stopCamera();
    void pan(const QPointF &delta);
    Mercator::Camera automaticCamera() const;
    Mercator::Camera zoomedCamera(double levels, const QPointF &about) const;
    std::optional<LatLon> drawnPosition(const Aircraft &aircraft) const;

    FlightStore *m_store;
    Preferences *m_preferences;
    TileSource *m_tiles;
    RadarMapRenderer m_renderer;

    Mercator::Camera m_camera;
    // Until the first explicit move the camera frames the content by itself.
    bool m_cameraChosen = false;
    QVariantAnimation m_cameraAnimation;
    Mercator::Camera m_cameraFrom;
    Mercator::Camera m_cameraTo;

    QList<Aircraft> m_displayed;
    QHash<QString, LatLon> m_glideFrom;
    QVariantAnimation m_glide;

    QString m_haloHex;
    QElapsedTimer m_haloClock;
    QTimer m_haloTimer;

    bool m_pressed = false;
    bool m_dragging = false;
    QPointF m_pressPosition;
    QPointF m_lastPosition;

    QWidget *m_capsules = nullptr;
    QToolButton *m_styleButton = nullptr;
    QActionGroup *m_styleGroup = nullptr;
    QWidget *m_stepper = nullptr;
    QToolButton *m_compass = nullptr;
    QPointer<QWidget> m_corner;
};
