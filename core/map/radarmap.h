// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "homelocation.h"
#include "mercator.h"
#include "radarmaprenderer.h"

#include <QEasingCurve>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QTimer>
#include <QVariantAnimation>

#include <optional>
#include <utility>

class QPainter;
class TileSource;

/// The radar map without a widget: the camera and its animated moves, the aircraft shown and
/// the glide of their markers between answers, the selection halo's pulse, and the picture,
/// painted on any QPainter. It is fed plain values and tells its host which part of the
/// picture changed through updated(); the host turns input into calls.
class RadarMap : public QObject {
    Q_OBJECT
public:
    /// Without @p tiles (not owned) the map is the graticule alone.
    explicit RadarMap(TileSource *tiles = nullptr, QObject *parent = nullptr);
    ~RadarMap() override;

    /// The rectangle the map fills on its host: the one camera moves refer to, hit tests
    /// measure in and updated() reports within.
    void setRect(const QRectF &rect);
    const QRectF &rect() const { return m_rect; }
    /// Whether anything shows the map. While hidden, moves and glides jump to their end.
    void setShown(bool shown);

    /// The aircraft to show, in list order. Markers that moved glide to their new place over
    /// 0.8 s, unless motion is reduced.
    void setAircraft(const QList<Aircraft> &aircraft);
    const QList<Aircraft> &aircraft() const { return m_aircraft; }
    /// Kept positions per hex, oldest first.
    void setTrails(const QHash<QString, QList<LatLon>> &trails);
    void setHome(const std::optional<HomeLocation> &home);
    void setRadiusNM(double radiusNM);
    /// The selected aircraft's hex, empty for none; it pulses while it is shown.
    void setSelectedHex(const QString &hex);
    /// The renderer's settings; reduceMotion also turns the animations off.
    void setSettings(const RadarMapSettings &settings);
    const RadarMapSettings &settings() const { return m_settings; }

    const Mercator::Camera &camera() const { return m_camera; }
    /// Where the camera is heading; the camera itself while it is not moving.
    Mercator::Camera targetCamera() const;
    bool isCameraMoving() const;
    /// Whether a clock runs for the map: a camera move, a glide or the halo's pulse. None
    /// runs while nothing moves and nothing is selected, or while the map is not shown.
    bool isAnimating() const;
    /// Jumps there at once, as a user's gesture would.
    void setCamera(const Mercator::Camera &camera);
    /// "Fit All": home, far enough to show the whole range ring.
    void recenter();
    /// "Home": home at the present distance.
    void centerOnHome();
    /// To @p position at the present distance, as for a newly selected aircraft.
    void focusOn(const LatLon &position);
    /// Zooms by whole or fractional levels keeping the point @p about where it is: at once,
    /// or over @p milliseconds when given.
    void zoomBy(double levels, const QPointF &about, int milliseconds = 0);
    /// Moves the picture by @p delta points, keeping the zoom.
    void pan(const QPointF &delta);

    /// What the next frame shows: glide positions and halo phase of this moment included.
    RadarMapScene scene() const;
    /// Paints the map into @p rect; @p exposed, when given, is the part that needs it.
    void render(QPainter *painter, const QRectF &rect, const QRectF &exposed = {});
    /// The hex of the marker drawn on top at @p point of rect(); empty when there is none.
    QString markerAt(const QPointF &point) const;
    /// The disc of @p hex's marker in rect() coordinates, where it stands at this moment;
    /// empty when the map draws no marker for it.
    QRectF markerRect(const QString &hex) const;

Q_SIGNALS:
    /// The part of rect() that needs repainting.
    void updated(const QRectF &rect);
    void cameraChanged();

private:
    // Moves there, animated unless motion is reduced or nobody sees it.
    void move(const Mercator::Camera &target, int milliseconds, QEasingCurve::Type easing);
    void applyCamera(const Mercator::Camera &camera);
    bool animates() const;
    Mercator::Camera automaticCamera() const;
    Mercator::Camera zoomedCamera(double levels, const QPointF &about) const;
    std::optional<LatLon> drawnPosition(const Aircraft &aircraft) const;
    // How many distinct pictures the glide needs: one per half point of the longest move.
    void updateGlideSteps();
    double glideProgress() const;
    void updateHalo();
    void haloTick();
    // 0 … 1 through the present pulse.
    double haloPhase() const;
    // Where the halo can paint, around @p centre.
    QRectF haloRect(const QPointF &centre) const;
    void updateAll();

    RadarMapRenderer m_renderer;
    RadarMapSettings m_settings;
    QRectF m_rect;
    bool m_shown = false;

    std::optional<HomeLocation> m_home;
    double m_radiusNM = 25.0;
    QList<Aircraft> m_aircraft;
    QHash<QString, QList<LatLon>> m_trails;
    QString m_selectedHex;

    Mercator::Camera m_camera;
    // Until the first explicit move the camera frames the content by itself.
    bool m_cameraChosen = false;
    QVariantAnimation m_cameraAnimation;
    Mercator::Camera m_cameraFrom;
    Mercator::Camera m_cameraTo;

    QHash<QString, LatLon> m_glideFrom;
    QVariantAnimation m_glide;
    // The glide advances in steps, each moving some marker by about half a point: where
    // markers move less than a point in the whole glide, a frame or two is all it paints.
    int m_glideSteps = 1;
    int m_glideStep = 0;

    QString m_haloHex;
    // Where the selected aircraft stands in the list, found once per answer, not each pulse.
    int m_haloIndex = -1;
    // The ring as last painted: its radius in half points and its opacity in 64ths.
    std::pair<int, int> m_haloLook;
    QElapsedTimer m_haloClock;
    QTimer m_haloTimer;
};
