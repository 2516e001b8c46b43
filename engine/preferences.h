// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariantMap>

#include <optional>

/// Every user setting, its type, its default and each reader's fallback, in one place.
///
/// Backed by an INI file. No defaults are registered: a key is absent until something writes
/// it, and each getter applies its fallback. A stored value of the wrong type reads as the
/// fallback. Each key has a change signal, emitted when a write changes the stored value, so
/// that every view bound to a key updates at once.
class Preferences : public QObject
{
    Q_OBJECT
    // Display and map
    Q_PROPERTY(QString appearanceChoice READ appearanceChoice WRITE setAppearanceChoice NOTIFY appearanceChoiceChanged)
    Q_PROPERTY(QString distanceUnit READ distanceUnit WRITE setDistanceUnit NOTIFY distanceUnitChanged)
    Q_PROPERTY(QString planeColorHex READ planeColorHex WRITE setPlaneColorHex NOTIFY planeColorHexChanged)
    Q_PROPERTY(double markerScale READ markerScale WRITE setMarkerScale NOTIFY markerScaleChanged)
    Q_PROPERTY(QString mapStyleChoice READ mapStyleChoice WRITE setMapStyleChoice NOTIFY mapStyleChoiceChanged)
    Q_PROPERTY(bool colorByAltitude READ colorByAltitude WRITE setColorByAltitude NOTIFY colorByAltitudeChanged)
    Q_PROPERTY(bool showTrails READ showTrails WRITE setShowTrails NOTIFY showTrailsChanged)
    Q_PROPERTY(double trailMinutes READ trailMinutes WRITE setTrailMinutes NOTIFY trailMinutesChanged)
    Q_PROPERTY(double trailWidth READ trailWidth WRITE setTrailWidth NOTIFY trailWidthChanged)
    Q_PROPERTY(QString widgetColorHex READ widgetColorHex WRITE setWidgetColorHex NOTIFY widgetColorHexChanged)
    // Accessibility
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY reduceMotionChanged)
    Q_PROPERTY(bool increaseContrast READ increaseContrast WRITE setIncreaseContrast NOTIFY increaseContrastChanged)
    Q_PROPERTY(bool differentiateWithoutColor READ differentiateWithoutColor WRITE setDifferentiateWithoutColor NOTIFY differentiateWithoutColorChanged)
    Q_PROPERTY(double textScale READ textScale WRITE setTextScale NOTIFY textScaleChanged)
    // Alerts
    Q_PROPERTY(bool alertsEnabled READ alertsEnabled WRITE setAlertsEnabled NOTIFY alertsEnabledChanged)
    Q_PROPERTY(bool alertEmergency READ alertEmergency WRITE setAlertEmergency NOTIFY alertEmergencyChanged)
    Q_PROPERTY(bool alertFlyover READ alertFlyover WRITE setAlertFlyover NOTIFY alertFlyoverChanged)
    Q_PROPERTY(bool alertMilitary READ alertMilitary WRITE setAlertMilitary NOTIFY alertMilitaryChanged)
    Q_PROPERTY(bool alertHelicopters READ alertHelicopters WRITE setAlertHelicopters NOTIFY alertHelicoptersChanged)
    Q_PROPERTY(bool alertLowAltitude READ alertLowAltitude WRITE setAlertLowAltitude NOTIFY alertLowAltitudeChanged)
    Q_PROPERTY(QString alertWatchlist READ alertWatchlist WRITE setAlertWatchlist NOTIFY alertWatchlistChanged)
    Q_PROPERTY(double alertRangeMiles READ alertRangeMiles WRITE setAlertRangeMiles NOTIFY alertRangeMilesChanged)
    Q_PROPERTY(double flyoverMissMiles READ flyoverMissMiles WRITE setFlyoverMissMiles NOTIFY flyoverMissMilesChanged)
    // Kept by non-view code
    Q_PROPERTY(QByteArray homeLocation READ homeLocation WRITE setHomeLocation NOTIFY homeLocationChanged)
    Q_PROPERTY(double radiusNM READ radiusNM WRITE setRadiusNM NOTIFY radiusNMChanged)
    Q_PROPERTY(QByteArray atcFavorites READ atcFavorites WRITE setAtcFavorites NOTIFY atcFavoritesChanged)
    Q_PROPERTY(double atcVolume READ atcVolume WRITE setAtcVolume NOTIFY atcVolumeChanged)

public:
    /// Opens (or creates on first write) the INI file at @p filePath.
    explicit Preferences(const QString &filePath, QObject *parent = nullptr);

    /// $XDG_CONFIG_HOME/Skyvelle/Skyvelle.conf
    static QString defaultFilePath();

    QString appearanceChoice() const { return string("appearanceChoice", QStringLiteral("auto")); }
    void setAppearanceChoice(const QString &value) { write("appearanceChoice", value); }
    QString distanceUnit() const { return string("distanceUnit", QStringLiteral("mi")); }
    void setDistanceUnit(const QString &value) { write("distanceUnit", value); }
    QString planeColorHex() const { return string("planeColorHex", QStringLiteral("#FF8A00")); }
    void setPlaneColorHex(const QString &value) { write("planeColorHex", value); }
    double markerScale() const { return number("markerScale").value_or(1.0); }
    void setMarkerScale(double value) { write("markerScale", value); }
    QString mapStyleChoice() const { return string("mapStyleChoice", QStringLiteral("standard")); }
    void setMapStyleChoice(const QString &value) { write("mapStyleChoice", value); }
    bool colorByAltitude() const { return boolean("colorByAltitude", false); }
    void setColorByAltitude(bool value) { write("colorByAltitude", value); }
    bool showTrails() const { return boolean("showTrails", true); }
    void setShowTrails(bool value) { write("showTrails", value); }
    double trailMinutes() const { return number("trailMinutes").value_or(1.0); }
    void setTrailMinutes(double value) { write("trailMinutes", value); }
    double trailWidth() const { return number("trailWidth").value_or(2.0); }
    void setTrailWidth(double value) { write("trailWidth", value); }
    QString widgetColorHex() const { return string("widgetColorHex", QStringLiteral("#73FF99")); }
    void setWidgetColorHex(const QString &value) { write("widgetColorHex", value); }

    bool reduceMotion() const { return boolean("reduceMotion", false); }
    void setReduceMotion(bool value) { write("reduceMotion", value); }
    bool increaseContrast() const { return boolean("increaseContrast", false); }
    void setIncreaseContrast(bool value) { write("increaseContrast", value); }
    bool differentiateWithoutColor() const { return boolean("differentiateWithoutColor", false); }
    void setDifferentiateWithoutColor(bool value) { write("differentiateWithoutColor", value); }
    double textScale() const { return number("textScale").value_or(1.0); }
    void setTextScale(double value) { write("textScale", value); }

    bool alertsEnabled() const { return boolean("alertsEnabled", false); }
    void setAlertsEnabled(bool value) { write("alertsEnabled", value); }
    /// The one alert switch that is on while never stored.
    bool alertEmergency() const { return boolean("alertEmergency", true); }
    void setAlertEmergency(bool value) { write("alertEmergency", value); }
    bool alertFlyover() const { return boolean("alertFlyover", false); }
    void setAlertFlyover(bool value) { write("alertFlyover", value); }
    bool alertMilitary() const { return boolean("alertMilitary", false); }
    void setAlertMilitary(bool value) { write("alertMilitary", value); }
    bool alertHelicopters() const { return boolean("alertHelicopters", false); }
    void setAlertHelicopters(bool value) { write("alertHelicopters", value); }
    bool alertLowAltitude() const { return boolean("alertLowAltitude", false); }
    void setAlertLowAltitude(bool value) { write("alertLowAltitude", value); }
    QString alertWatchlist() const { return string("alertWatchlist", QString()); }
    void setAlertWatchlist(const QString &value) { write("alertWatchlist", value); }
    /// Statute miles; 0 means any distance.
    double alertRangeMiles() const { return number("alertRangeMiles").value_or(0.0); }
    void setAlertRangeMiles(double value) { write("alertRangeMiles", value); }
    double flyoverMissMiles() const { return number("flyoverMissMiles").value_or(0.75); }
    void setFlyoverMissMiles(double value) { write("flyoverMissMiles", value); }

    /// The JSON of the saved home; empty when none is saved.
    QByteArray homeLocation() const;
    void setHomeLocation(const QByteArray &value) { write("homeLocation", value); }
    void removeHomeLocation();
    /// Nautical miles; a stored value that is absent, zero or negative reads as 25.
    double radiusNM() const;
    void setRadiusNM(double value) { write("radiusNM", value); }
    QByteArray atcFavorites() const;
    void setAtcFavorites(const QByteArray &value) { write("atcFavorites", value); }
    /// 0 … 1; 0.8 when absent or not a number.
    double atcVolume() const { return number("atcVolume").value_or(0.8); }
    void setAtcVolume(double value) { write("atcVolume", value); }

    /// The number of trail points the flight store keeps per aircraft: max(6, ⌊trailMinutes × 12⌋),
    /// 12 when trailMinutes is absent or not a number.
    int trailPointLimit() const;

    /// Restores the eight map and widget keys to their defaults, and no others.
    void resetToDefaults();

    /// The "[services]" group as key → text, for Services::withOverrides().
    QVariantMap serviceOverrides() const;

    /// Writes pending changes to disk now (QSettings otherwise syncs on its own schedule).
    void sync();

Q_SIGNALS:
    void appearanceChoiceChanged();
    void distanceUnitChanged();
    void planeColorHexChanged();
    void markerScaleChanged();
    void mapStyleChoiceChanged();
    void colorByAltitudeChanged();
    void showTrailsChanged();
    void trailMinutesChanged();
    void trailWidthChanged();
    void widgetColorHexChanged();
    void reduceMotionChanged();
    void increaseContrastChanged();
    void differentiateWithoutColorChanged();
    void textScaleChanged();
    void alertsEnabledChanged();
    void alertEmergencyChanged();
    void alertFlyoverChanged();
    void alertMilitaryChanged();
    void alertHelicoptersChanged();
    void alertLowAltitudeChanged();
    void alertWatchlistChanged();
    void alertRangeMilesChanged();
    void flyoverMissMilesChanged();
    void homeLocationChanged();
    void radiusNMChanged();
    void atcFavoritesChanged();
    void atcVolumeChanged();

private:
    QString string(const char *key, const QString &fallback) const;
    bool boolean(const char *key, bool fallback) const;
    std::optional<double> number(const char *key) const;
    /// Stores @p value under @p key and emits the key's change signal when the value changed.
    void write(const char *key, const QVariant &value);
    void remove(const char *key);
    void notify(const char *key);

    mutable QSettings m_settings;
};
