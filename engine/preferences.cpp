// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferences.h"

#include "services.h"

#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace K = PreferenceKeys;

namespace {

QString valueOf(QLatin1String text)
{
    return QString(text);
}

QByteArray valueOf(QByteArrayView bytes)
{
    return bytes.toByteArray();
}

template<typename T>
T valueOf(T value)
{
    return value;
}

// The stored value as a T, or none when it is absent or of another type.
template<typename T>
std::optional<T> decoded(const QVariant &value)
{
    if constexpr (std::is_same_v<T, bool>) {
        if (value.typeId() == QMetaType::Bool)
            return value.toBool();
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        // The INI file stores text; only the words QSettings itself writes count as a bool.
        const QString text = value.toString();
        if (text == "true"_L1)
            return true;
        if (text == "false"_L1)
            return false;
        return std::nullopt;
    } else if constexpr (std::is_same_v<T, double>) {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            return std::nullopt;
        return number;
    } else if constexpr (std::is_same_v<T, QString>) {
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value.toString();
    } else {
        static_assert(std::is_same_v<T, QByteArray>);
        if (!value.isValid())
            return std::nullopt;
        return value.toByteArray();
    }
}

} // namespace

Preferences::Preferences(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_settings(filePath, QSettings::IniFormat)
{
}

QString Preferences::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + u"/Skyvelle/Skyvelle.conf"_s;
}

template<typename T>
T Preferences::read(const Key<T> &key) const
{
    return decoded<T>(m_settings.value(QLatin1String(key.name))).value_or(valueOf(key.fallback));
}

template<typename Choice, std::size_t Count>
Choice Preferences::read(const ChoiceKey<Choice, Count> &key) const
{
    // Letter case counts: only the exact text a choice is stored as reads as that choice.
    if (const auto text = decoded<QString>(m_settings.value(QLatin1String(key.name)))) {
        const auto found = std::find(key.texts.begin(), key.texts.end(), *text);
        if (found != key.texts.end())
            return Choice(found - key.texts.begin());
    }
    return key.fallback;
}

template<typename T>
void Preferences::write(const Key<T> &key, const T &value)
{
    store(key.name, QVariant::fromValue(value), key.changed);
}

template<typename Choice, std::size_t Count>
void Preferences::write(const ChoiceKey<Choice, Count> &key, Choice value)
{
    store(key.name, key.text(value), key.changed);
}

// clang-format off
Preferences::AppearanceChoice Preferences::appearanceChoice() const { return read(K::appearanceChoice); }
void Preferences::setAppearanceChoice(AppearanceChoice value) { write(K::appearanceChoice, value); }
Preferences::DistanceUnit Preferences::distanceUnit() const { return read(K::distanceUnit); }
void Preferences::setDistanceUnit(DistanceUnit value) { write(K::distanceUnit, value); }
QString Preferences::distanceUnitText() const { return K::distanceUnit.text(distanceUnit()); }
QString Preferences::planeColorHex() const { return read(K::planeColorHex); }
void Preferences::setPlaneColorHex(const QString &value) { write(K::planeColorHex, value); }
double Preferences::markerScale() const { return read(K::markerScale); }
void Preferences::setMarkerScale(double value) { write(K::markerScale, value); }
Preferences::MapStyle Preferences::mapStyleChoice() const { return read(K::mapStyleChoice); }
void Preferences::setMapStyleChoice(MapStyle value) { write(K::mapStyleChoice, value); }
bool Preferences::colorByAltitude() const { return read(K::colorByAltitude); }
void Preferences::setColorByAltitude(bool value) { write(K::colorByAltitude, value); }
bool Preferences::showTrails() const { return read(K::showTrails); }
void Preferences::setShowTrails(bool value) { write(K::showTrails, value); }
double Preferences::trailMinutes() const { return read(K::trailMinutes); }
void Preferences::setTrailMinutes(double value) { write(K::trailMinutes, value); }
double Preferences::trailWidth() const { return read(K::trailWidth); }
void Preferences::setTrailWidth(double value) { write(K::trailWidth, value); }
QString Preferences::widgetColorHex() const { return read(K::widgetColorHex); }
void Preferences::setWidgetColorHex(const QString &value) { write(K::widgetColorHex, value); }

bool Preferences::reduceMotion() const { return read(K::reduceMotion); }
void Preferences::setReduceMotion(bool value) { write(K::reduceMotion, value); }
bool Preferences::increaseContrast() const { return read(K::increaseContrast); }
void Preferences::setIncreaseContrast(bool value) { write(K::increaseContrast, value); }
bool Preferences::differentiateWithoutColor() const { return read(K::differentiateWithoutColor); }
void Preferences::setDifferentiateWithoutColor(bool value) { write(K::differentiateWithoutColor, value); }
double Preferences::textScale() const { return read(K::textScale); }
void Preferences::setTextScale(double value) { write(K::textScale, value); }

bool Preferences::alertsEnabled() const { return read(K::alertsEnabled); }
void Preferences::setAlertsEnabled(bool value) { write(K::alertsEnabled, value); }
bool Preferences::alertEmergency() const { return read(K::alertEmergency); }
void Preferences::setAlertEmergency(bool value) { write(K::alertEmergency, value); }
bool Preferences::alertFlyover() const { return read(K::alertFlyover); }
void Preferences::setAlertFlyover(bool value) { write(K::alertFlyover, value); }
bool Preferences::alertMilitary() const { return read(K::alertMilitary); }
void Preferences::setAlertMilitary(bool value) { write(K::alertMilitary, value); }
bool Preferences::alertHelicopters() const { return read(K::alertHelicopters); }
void Preferences::setAlertHelicopters(bool value) { write(K::alertHelicopters, value); }
bool Preferences::alertLowAltitude() const { return read(K::alertLowAltitude); }
void Preferences::setAlertLowAltitude(bool value) { write(K::alertLowAltitude, value); }
QString Preferences::alertWatchlist() const { return read(K::alertWatchlist); }
void Preferences::setAlertWatchlist(const QString &value) { write(K::alertWatchlist, value); }
double Preferences::alertRangeMiles() const { return read(K::alertRangeMiles); }
void Preferences::setAlertRangeMiles(double value) { write(K::alertRangeMiles, value); }
double Preferences::flyoverMissMiles() const { return read(K::flyoverMissMiles); }
void Preferences::setFlyoverMissMiles(double value) { write(K::flyoverMissMiles, value); }

QByteArray Preferences::homeLocation() const { return read(K::homeLocation); }
void Preferences::setHomeLocation(const QByteArray &value) { write(K::homeLocation, value); }
void Preferences::setRadiusNM(double value) { write(K::radiusNM, value); }
QByteArray Preferences::atcFavorites() const { return read(K::atcFavorites); }
void Preferences::setAtcFavorites(const QByteArray &value) { write(K::atcFavorites, value); }
double Preferences::atcVolume() const { return read(K::atcVolume); }
void Preferences::setAtcVolume(double value) { write(K::atcVolume, value); }

bool Preferences::automaticallyChecksForUpdates() const { return read(K::automaticallyChecksForUpdates); }
void Preferences::setAutomaticallyChecksForUpdates(bool value) { write(K::automaticallyChecksForUpdates, value); }
QString Preferences::skippedUpdateVersion() const { return read(K::skippedUpdateVersion); }
void Preferences::setSkippedUpdateVersion(const QString &value) { write(K::skippedUpdateVersion, value); }
// clang-format on

void Preferences::removeHomeLocation()
{
    const QString name = QLatin1String(K::homeLocation.name);
    if (!m_settings.contains(name))
        return;
    m_settings.remove(name);
    Q_EMIT homeLocationChanged();
}

double Preferences::radiusNM() const
{
    const double radius = read(K::radiusNM);
    return radius > 0.0 ? radius : K::radiusNM.fallback;
}

int Preferences::trailPointLimit() const
{
    const double points = std::floor(trailMinutes() * 12.0);
    // Clamped before the conversion so that a huge stored value cannot overflow the int.
    return int(std::clamp(points, 6.0, 100000.0));
}

void Preferences::resetToDefaults()
{
    const auto restore = [this](
                             const auto &...keys) { (write(keys, valueOf(keys.fallback)), ...); };
    // The map and widget look, in this order; every other key keeps its value.
    restore(K::planeColorHex, K::markerScale, K::mapStyleChoice, K::widgetColorHex,
        K::colorByAltitude, K::showTrails, K::trailMinutes, K::trailWidth);
}

QVariantMap Preferences::serviceOverrides() const
{
    return Services::overridesIn(m_settings.fileName());
}

void Preferences::sync()
{
    m_settings.sync();
}

void Preferences::store(const char *key, const QVariant &value, void (Preferences::*changed)())
{
    const QString name = QLatin1String(key);
    const QVariant previous = m_settings.value(name);
    m_settings.setValue(name, value);
    // Compared as text, because the INI file hands back every value as text after a restart.
    if (!previous.isValid() || previous.toString() != value.toString())
        Q_EMIT(this->*changed)();
}
