// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraft.h"

#include "aircrafttypes.h"
#include "airlines.h"
#include "textutil.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QSet<QString> &helicopterTypes()
{
    static const QSet<QString> types {
        u"R22"_s,
        u"R44"_s,
        u"R66"_s,
        u"B06"_s,
        u"B407"_s,
        u"B412"_s,
        u"B429"_s,
        u"B505"_s,
        u"AS50"_s,
        u"EC30"_s,
        u"EC35"_s,
        u"EC45"_s,
        u"EC55"_s,
        u"EC75"_s,
        u"A109"_s,
        u"A139"_s,
        u"A169"_s,
        u"S76"_s,
        u"S92"_s,
        u"H60"_s,
        u"MD50"_s,
        u"UH1"_s,
        u"H64"_s,
        u"H47"_s,
        u"B212"_s,
        u"B222"_s,
        u"B230"_s,
    };
    return types;
}

std::optional<QString> nonEmpty(const std::optional<QString> &text)
{
    if (text && !text->isEmpty())
        return text;
    return std::nullopt;
}

// The value when it lies within [low, high], -0 turned into 0; absent otherwise (NaN too).
std::optional<double> within(std::optional<double> value, double low, double high)
{
    if (value && *value >= low && *value <= high)
        return *value + 0.0;
    return std::nullopt;
}

std::optional<qint64> within(std::optional<qint64> value, qint64 low, qint64 high)
{
    if (value && *value >= low && *value <= high)
        return value;
    return std::nullopt;
}

constexpr qint64 lowestFeet = -5'000;
constexpr qint64 highestFeet = 200'000;
constexpr qint64 fastestRate = 100'000; // ft/min
constexpr double fastestSpeed = 5'000.0; // kt
constexpr double farthestNM = 10'800.0; // half the Earth's circumference

} // namespace

void Aircraft::keepWithinPhysicalRanges()
{
    lat = within(lat, -90.0, 90.0);
    lon = within(lon, -180.0, 180.0);
    groundSpeed = within(groundSpeed, 0.0, fastestSpeed);
    track = within(track, 0.0, 360.0);
    directionDeg = within(directionDeg, 0.0, 360.0);
    distanceNM = within(distanceNM, 0.0, farthestNM);
    seen = within(seen, 0.0, std::numeric_limits<double>::max());
    seenPos = within(seenPos, 0.0, std::numeric_limits<double>::max());
    if (altBaro && !altBaro->isGround() && !within(altBaro->feetValue(), lowestFeet, highestFeet))
        altBaro.reset();
    altGeom = within(altGeom, lowestFeet, highestFeet);
    baroRate = within(baroRate, -fastestRate, fastestRate);
    geomRate = within(geomRate, -fastestRate, fastestRate);
}

std::optional<qint64> Altitude::feetValue() const
{
    if (m_ground)
        return std::nullopt;
    return m_feet;
}

QString Aircraft::displayName() const
{
    if (flight) {
        const QString callsign = TextUtil::trimSpacesAndTabs(*flight);
        if (!callsign.isEmpty())
            return callsign;
    }
    if (registration && !registration->isEmpty())
        return *registration;
    return hex.toUpper();
}

std::optional<LatLon> Aircraft::coordinate() const
{
    if (lat && lon)
        return LatLon { *lat, *lon };
    return std::nullopt;
}

bool Aircraft::isOnGround() const
{
    return altBaro && altBaro->isGround();
}

std::optional<qint64> Aircraft::altitudeFeet() const
{
    if (altBaro && !altBaro->isGround())
        return altBaro->feetValue();
    return altGeom;
}

// The altitude the texts show: alt_geom stands in only when alt_baro is missing altogether.
static std::optional<qint64> shownAltitude(const Aircraft &a)
{
    if (a.altBaro)
        return a.altBaro->feetValue();
    return a.altGeom;
}

QString Aircraft::altitudeText(const QLocale &locale) const
{
    if (isOnGround())
        return u"On ground"_s;
    const auto feet = shownAltitude(*this);
    if (!feet)
        return u"—"_s;
    return locale.toString(*feet) + u" ft"_s;
}

QString Aircraft::shortAltitude(const QLocale &locale) const
{
    if (isOnGround())
        return u"GND"_s;
    const auto feet = shownAltitude(*this);
    if (!feet)
        return u"—"_s;
    if (*feet < 18000)
        return locale.toString(*feet) + u"ft"_s;
    return u"FL"_s + QString::number(*feet / 100);
}

QString Aircraft::speedText() const
{
    if (!groundSpeed || !std::isfinite(*groundSpeed))
        return u"—"_s;
    return TextUtil::formatNumber(*groundSpeed) + u" kt"_s;
}

std::optional<qint64> Aircraft::verticalRate() const
{
    return baroRate ? baroRate : geomRate;
}

std::optional<QString> Aircraft::verticalText(const QLocale &locale) const
{
    const auto rate = verticalRate();
    if (!rate)
        return std::nullopt;
    // Unsigned so that the magnitude of the most negative rate does not overflow.
    const quint64 magnitude = *rate < 0 ? 0 - static_cast<quint64>(*rate) : quint64(*rate);
    if (magnitude < 64)
        return std::nullopt;
    const QString arrow = *rate > 0 ? u"↑"_s : u"↓"_s;
    return arrow + u' ' + locale.toString(magnitude) + u" ft/min"_s;
}

bool Aircraft::isEmergency() const
{
    if (squawk && (*squawk == "7500"_L1 || *squawk == "7600"_L1 || *squawk == "7700"_L1))
        return true;
    return emergency && *emergency != "none"_L1;
}

bool Aircraft::isMilitary() const
{
    return dbFlags && (*dbFlags & 1);
}

bool Aircraft::isHelicopter() const
{
    if (category && *category == "A7"_L1)
        return true;
    return typeCode && helicopterTypes().contains(typeCode->toUpper());
}

std::optional<double> Aircraft::distanceMiles() const
{
    if (!distanceNM)
        return std::nullopt;
    return *distanceNM * 1.15078;
}

std::optional<QString> Aircraft::typeName() const
{
    if (typeCode) {
        if (auto name = AircraftTypes::name(typeCode))
            return name;
    }
    if (auto description = nonEmpty(typeDescription))
        return TextUtil::titleCase(*description);
    return std::nullopt;
}

std::optional<QString> Aircraft::operatorDisplayName() const
{
    if (auto name = nonEmpty(operatorName))
        return TextUtil::titleCase(*name);
    if (flight)
        return Airlines::name(flight);
    return std::nullopt;
}

QString Aircraft::compassPoint(double bearing)
{
    static const char *const points[16] = {
        "N",
        "NNE",
        "NE",
        "ENE",
        "E",
        "ESE",
        "SE",
        "SSE",
        "S",
        "SSW",
        "SW",
        "WSW",
        "W",
        "WNW",
        "NW",
        "NNW",
    };
    const double sector = std::fmod((bearing + 11.25) / 22.5, 16.0);
    // A NaN bearing lands on north rather than on an undefined index.
    const int index = std::isfinite(sector) ? std::clamp(static_cast<int>(sector), 0, 15) : 0;
    return QString::fromLatin1(points[index]);
}

std::optional<QString> Aircraft::lookDirection() const
{
    if (!directionDeg || !distanceNM)
        return std::nullopt;
    const QString compass = compassPoint(*directionDeg);

    std::optional<qint64> altitude;
    if (altBaro)
        altitude = altBaro->feetValue();
    else
        altitude = altGeom;

    if (altitude && *distanceNM > 0) {
        const double elevation =
            std::atan2(double(*altitude) * 0.3048, *distanceNM * 1852.0) * 180.0 / M_PI;
        return QString::asprintf("Look %s, %.0f° up", qPrintable(compass), elevation);
    }
    return u"Look "_s + compass;
}

std::optional<QString> Aircraft::distanceText(const QString &unit, bool compact) const
{
    if (!distanceNM)
        return std::nullopt;
    double value = *distanceNM * 1.15078;
    const char *suffix = "mi";
    if (unit == "nm"_L1) {
        value = *distanceNM;
        suffix = "nm";
    } else if (unit == "km"_L1) {
        value = *distanceNM * 1.852;
        suffix = "km";
    }
    // A distance beyond what a double holds in the chosen unit says nothing.
    if (!std::isfinite(value))
        return std::nullopt;
    return TextUtil::formatNumber(value, 1) + (compact ? u""_s : u" "_s)
        + QLatin1StringView(suffix);
}
