// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraftcolors.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QRgb>
#include <QSettings>
#include <QString>
#include <QVariantMap>

#include <array>
#include <cstddef>
#include <type_traits>

/// Every user setting, its type, its default and each reader's fallback, in one place: the
/// PreferenceKeys table below this class.
///
/// Backed by an INI file. No defaults are registered: a key is absent until something writes
/// it, and each getter applies its fallback. A stored value of the wrong type, and a choice
/// stored as any text but its own, reads as the fallback. Each key has a change signal, emitted
/// when a write changes the stored value, so that every view bound to a key updates at once.
class Preferences : public QObject {
    Q_OBJECT
    // Display and map
    Q_PROPERTY(AppearanceChoice appearanceChoice READ appearanceChoice WRITE setAppearanceChoice
            NOTIFY appearanceChoiceChanged)
    Q_PROPERTY(DistanceUnit distanceUnit READ distanceUnit WRITE setDistanceUnit NOTIFY
            distanceUnitChanged)
    Q_PROPERTY(
        QString planeColorHex READ planeColorHex WRITE setPlaneColorHex NOTIFY planeColorHexChanged)
    Q_PROPERTY(double markerScale READ markerScale WRITE setMarkerScale NOTIFY markerScaleChanged)
    Q_PROPERTY(MapStyle mapStyleChoice READ mapStyleChoice WRITE setMapStyleChoice NOTIFY
            mapStyleChoiceChanged)
    Q_PROPERTY(bool colorByAltitude READ colorByAltitude WRITE setColorByAltitude NOTIFY
            colorByAltitudeChanged)
    Q_PROPERTY(bool showTrails READ showTrails WRITE setShowTrails NOTIFY showTrailsChanged)
    Q_PROPERTY(
        double trailMinutes READ trailMinutes WRITE setTrailMinutes NOTIFY trailMinutesChanged)
    Q_PROPERTY(double trailWidth READ trailWidth WRITE setTrailWidth NOTIFY trailWidthChanged)
    Q_PROPERTY(QString widgetColorHex READ widgetColorHex WRITE setWidgetColorHex NOTIFY
            widgetColorHexChanged)
    // Accessibility
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY reduceMotionChanged)
    Q_PROPERTY(bool increaseContrast READ increaseContrast WRITE setIncreaseContrast NOTIFY
            increaseContrastChanged)
    Q_PROPERTY(bool differentiateWithoutColor READ differentiateWithoutColor WRITE
            setDifferentiateWithoutColor NOTIFY differentiateWithoutColorChanged)
    Q_PROPERTY(double textScale READ textScale WRITE setTextScale NOTIFY textScaleChanged)
    // Alerts
    Q_PROPERTY(
        bool alertsEnabled READ alertsEnabled WRITE setAlertsEnabled NOTIFY alertsEnabledChanged)
    Q_PROPERTY(bool alertEmergency READ alertEmergency WRITE setAlertEmergency NOTIFY
            alertEmergencyChanged)
    Q_PROPERTY(bool alertFlyover READ alertFlyover WRITE setAlertFlyover NOTIFY alertFlyoverChanged)
    Q_PROPERTY(
        bool alertMilitary READ alertMilitary WRITE setAlertMilitary NOTIFY alertMilitaryChanged)
    Q_PROPERTY(bool alertHelicopters READ alertHelicopters WRITE setAlertHelicopters NOTIFY
            alertHelicoptersChanged)
    Q_PROPERTY(bool alertLowAltitude READ alertLowAltitude WRITE setAlertLowAltitude NOTIFY
            alertLowAltitudeChanged)
    Q_PROPERTY(QString alertWatchlist READ alertWatchlist WRITE setAlertWatchlist NOTIFY
            alertWatchlistChanged)
    Q_PROPERTY(double alertRangeMiles READ alertRangeMiles WRITE setAlertRangeMiles NOTIFY
            alertRangeMilesChanged)
    Q_PROPERTY(double flyoverMissMiles READ flyoverMissMiles WRITE setFlyoverMissMiles NOTIFY
            flyoverMissMilesChanged)
    // Kept by non-view code
    Q_PROPERTY(
        QByteArray homeLocation READ homeLocation WRITE setHomeLocation NOTIFY homeLocationChanged)
    Q_PROPERTY(double radiusNM READ radiusNM WRITE setRadiusNM NOTIFY radiusNMChanged)
    Q_PROPERTY(
        QByteArray atcFavorites READ atcFavorites WRITE setAtcFavorites NOTIFY atcFavoritesChanged)
    Q_PROPERTY(double atcVolume READ atcVolume WRITE setAtcVolume NOTIFY atcVolumeChanged)
    // The updater's own group
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
            setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(QString skippedUpdateVersion READ skippedUpdateVersion WRITE setSkippedUpdateVersion
            NOTIFY skippedUpdateVersionChanged)

public:
    enum class AppearanceChoice { Automatic, Light, Dark };
    Q_ENUM(AppearanceChoice)
    enum class DistanceUnit { Miles, NauticalMiles, Kilometers };
    Q_ENUM(DistanceUnit)
    enum class MapStyle { Standard, Muted, Imagery, Hybrid };
    Q_ENUM(MapStyle)

    /// One key of the settings file: its name, the value it reads as when absent or of the
    /// wrong type (also what "Reset to Defaults" writes), and its change signal.
    template<typename T>
    struct Key {
        // Text and bytes are held as views so that the table stays constexpr.
        using Fallback = std::conditional_t<std::is_same_v<T, QString>, QLatin1String,
            std::conditional_t<std::is_same_v<T, QByteArray>, QByteArrayView, T>>;

        const char *name;
        Fallback fallback;
        void (Preferences::*changed)();
    };

    /// A key with a fixed set of values, stored as text.
    template<typename Choice, std::size_t Count>
    struct ChoiceKey : Key<Choice> {
        /// The text of each enumerator, in order: exactly what earlier versions stored.
        std::array<QLatin1String, Count> texts;

        QString text(Choice choice) const { return QString(texts.at(std::size_t(choice))); }
    };

    /// Opens (or creates on first write) the INI file at @p filePath.
    explicit Preferences(const QString &filePath, QObject *parent = nullptr);

    /// $XDG_CONFIG_HOME/Skyvelle/Skyvelle.conf
    static QString defaultFilePath();

    AppearanceChoice appearanceChoice() const;
    void setAppearanceChoice(AppearanceChoice value);
    DistanceUnit distanceUnit() const;
    void setDistanceUnit(DistanceUnit value);
    /// The unit as the formatting code and the widgets' shared file take it: "mi", "nm" or "km".
    QString distanceUnitText() const;
    QString planeColorHex() const;
    void setPlaneColorHex(const QString &value);
    double markerScale() const;
    void setMarkerScale(double value);
    MapStyle mapStyleChoice() const;
    void setMapStyleChoice(MapStyle value);
    bool colorByAltitude() const;
    void setColorByAltitude(bool value);
    bool showTrails() const;
    void setShowTrails(bool value);
    double trailMinutes() const;
    void setTrailMinutes(double value);
    double trailWidth() const;
    void setTrailWidth(double value);
    QString widgetColorHex() const;
    void setWidgetColorHex(const QString &value);

    bool reduceMotion() const;
    void setReduceMotion(bool value);
    bool increaseContrast() const;
    void setIncreaseContrast(bool value);
    bool differentiateWithoutColor() const;
    void setDifferentiateWithoutColor(bool value);
    double textScale() const;
    void setTextScale(double value);

    bool alertsEnabled() const;
    void setAlertsEnabled(bool value);
    bool alertEmergency() const;
    void setAlertEmergency(bool value);
    bool alertFlyover() const;
    void setAlertFlyover(bool value);
    bool alertMilitary() const;
    void setAlertMilitary(bool value);
    bool alertHelicopters() const;
    void setAlertHelicopters(bool value);
    bool alertLowAltitude() const;
    void setAlertLowAltitude(bool value);
    QString alertWatchlist() const;
    void setAlertWatchlist(const QString &value);
    double alertRangeMiles() const;
    void setAlertRangeMiles(double value);
    double flyoverMissMiles() const;
    void setFlyoverMissMiles(double value);

    /// The JSON of the saved home; empty when none is saved.
    QByteArray homeLocation() const;
    void setHomeLocation(const QByteArray &value);
    void removeHomeLocation();
    /// Nautical miles; a stored value that is absent, zero or negative reads as the fallback.
    double radiusNM() const;
    void setRadiusNM(double value);
    QByteArray atcFavorites() const;
    void setAtcFavorites(const QByteArray &value);
    double atcVolume() const;
    void setAtcVolume(double value);

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool value);
    /// The version the user chose to skip; empty when none.
    QString skippedUpdateVersion() const;
    void setSkippedUpdateVersion(const QString &value);

    /// The number of trail points the flight store keeps per aircraft: max(6, ⌊trailMinutes × 12⌋).
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
    void automaticallyChecksForUpdatesChanged();
    void skippedUpdateVersionChanged();

private:
    template<typename T>
    T read(const Key<T> &key) const;
    template<typename Choice, std::size_t Count>
    Choice read(const ChoiceKey<Choice, Count> &key) const;
    /// Stores @p value under @p key and emits the key's change signal when the value changed.
    template<typename T>
    void write(const Key<T> &key, const T &value);
    template<typename Choice, std::size_t Count>
    void write(const ChoiceKey<Choice, Count> &key, Choice value);
    void store(const char *key, const QVariant &value, void (Preferences::*changed)());

    mutable QSettings m_settings;
};

/// The table of keys. Readers that apply a fallback of their own say so next to the key.
namespace PreferenceKeys {

using P = Preferences;

// Display and map
inline constexpr P::ChoiceKey<P::AppearanceChoice, 3> appearanceChoice {
    { "appearanceChoice", P::AppearanceChoice::Automatic, &P::appearanceChoiceChanged },
    { QLatin1String("auto"), QLatin1String("light"), QLatin1String("dark") }
};
// The widgets' shared file copies it; a file without it means the same fallback.
inline constexpr P::ChoiceKey<P::DistanceUnit, 3> distanceUnit {
    { "distanceUnit", P::DistanceUnit::Miles, &P::distanceUnitChanged },
    { QLatin1String("mi"), QLatin1String("nm"), QLatin1String("km") }
};
// A colour that does not parse: the map paints AircraftColors::unparsedPlaneColor, the
// sidebar glyph the accent colour.
inline constexpr P::Key<QString> planeColorHex { "planeColorHex",
    AircraftColors::defaultPlaneColorHex, &P::planeColorHexChanged };
inline constexpr P::Key<double> markerScale { "markerScale", 1.0, &P::markerScaleChanged };
inline constexpr P::ChoiceKey<P::MapStyle, 4> mapStyleChoice {
    { "mapStyleChoice", P::MapStyle::Standard, &P::mapStyleChoiceChanged },
    { QLatin1String("standard"), QLatin1String("muted"), QLatin1String("imagery"),
        QLatin1String("hybrid") }
};
inline constexpr P::Key<bool> colorByAltitude { "colorByAltitude", false,
    &P::colorByAltitudeChanged };
inline constexpr P::Key<bool> showTrails { "showTrails", true, &P::showTrailsChanged };
inline constexpr P::Key<double> trailMinutes { "trailMinutes", 1.0, &P::trailMinutesChanged };
inline constexpr P::Key<double> trailWidth { "trailWidth", 2.0, &P::trailWidthChanged };
// The widgets' shared file copies it; a file without it means the same fallback.
inline constexpr P::Key<QString> widgetColorHex { "widgetColorHex", QLatin1String("#73FF99"),
    &P::widgetColorHexChanged };

// Accessibility
inline constexpr P::Key<bool> reduceMotion { "reduceMotion", false, &P::reduceMotionChanged };
inline constexpr P::Key<bool> increaseContrast { "increaseContrast", false,
    &P::increaseContrastChanged };
inline constexpr P::Key<bool> differentiateWithoutColor { "differentiateWithoutColor", false,
    &P::differentiateWithoutColorChanged };
inline constexpr P::Key<double> textScale { "textScale", 1.0, &P::textScaleChanged };

// Alerts
inline constexpr P::Key<bool> alertsEnabled { "alertsEnabled", false, &P::alertsEnabledChanged };
// The one alert switch that is on while never stored.
inline constexpr P::Key<bool> alertEmergency { "alertEmergency", true, &P::alertEmergencyChanged };
inline constexpr P::Key<bool> alertFlyover { "alertFlyover", false, &P::alertFlyoverChanged };
inline constexpr P::Key<bool> alertMilitary { "alertMilitary", false, &P::alertMilitaryChanged };
inline constexpr P::Key<bool> alertHelicopters { "alertHelicopters", false,
    &P::alertHelicoptersChanged };
inline constexpr P::Key<bool> alertLowAltitude { "alertLowAltitude", false,
    &P::alertLowAltitudeChanged };
inline constexpr P::Key<QString> alertWatchlist { "alertWatchlist", {}, &P::alertWatchlistChanged };
// Statute miles; 0 means any distance.
inline constexpr P::Key<double> alertRangeMiles { "alertRangeMiles", 0.0,
    &P::alertRangeMilesChanged };
inline constexpr P::Key<double> flyoverMissMiles { "flyoverMissMiles", 0.75,
    &P::flyoverMissMilesChanged };

// Kept by non-view code
inline constexpr P::Key<QByteArray> homeLocation { "homeLocation", {}, &P::homeLocationChanged };
// Nautical miles; zero or negative also reads as the fallback.
inline constexpr P::Key<double> radiusNM { "radiusNM", 25.0, &P::radiusNMChanged };
inline constexpr P::Key<QByteArray> atcFavorites { "atcFavorites", {}, &P::atcFavoritesChanged };
// 0 … 1.
inline constexpr P::Key<double> atcVolume { "atcVolume", 0.8, &P::atcVolumeChanged };

// The updater's own group, "[updates]", as Sparkle keeps its settings apart from the app's.
// The quiet probe and the daily check run only while this is on.
inline constexpr P::Key<bool> automaticallyChecksForUpdates {
    "updates/automaticallyChecksForUpdates", true, &P::automaticallyChecksForUpdatesChanged
};
// An appcast item's version ("sparkle:version"), compared as text.
inline constexpr P::Key<QString> skippedUpdateVersion { "updates/skippedVersion", {},
    &P::skippedUpdateVersionChanged };

} // namespace PreferenceKeys
