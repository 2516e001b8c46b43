// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QLocale>
#include <QMetaType>
#include <QString>

#include <optional>

/// Barometric altitude as the feed reports it: a whole number of feet, or on the ground.
class Altitude {
public:
    static Altitude feet(qint64 value) { return Altitude(false, value); }
    static Altitude ground() { return Altitude(true, 0); }

    bool isGround() const { return m_ground; }
    /// The feet value; absent on the ground.
    std::optional<qint64> feetValue() const;

    friend bool operator==(const Altitude &, const Altitude &) = default;

private:
    Altitude(bool ground, qint64 feet)
        : m_ground(ground)
        , m_feet(feet)
    {
    }

    bool m_ground;
    qint64 m_feet;
};

/// A latitude/longitude pair in degrees.
struct LatLon {
    double latitude = 0.0;
    double longitude = 0.0;

    friend bool operator==(const LatLon &, const LatLon &) = default;
};

/// One aircraft as decoded from a feed answer. A plain value: nothing edits it after decoding;
/// the next answer replaces it. Every field but hex is optional, and absent data stays absent
/// (it is shown as "—", never as zero).
struct Aircraft {
    QString hex; ///< ICAO address as the feed writes it; the identity everywhere.
    std::optional<QString> flight; ///< Callsign as received, padding included.
    std::optional<QString> registration; ///< "r"
    std::optional<QString> typeCode; ///< "t", an ICAO type designator
    std::optional<QString> typeDescription; ///< "desc"
    std::optional<QString> operatorName; ///< "ownOp"
    std::optional<Altitude> altBaro; ///< "alt_baro", feet or ground
    std::optional<qint64> altGeom; ///< "alt_geom", feet
    std::optional<double> groundSpeed; ///< "gs", knots
    std::optional<double> track; ///< degrees clockwise from true north
    std::optional<qint64> baroRate; ///< "baro_rate", feet per minute
    std::optional<qint64> geomRate; ///< "geom_rate", feet per minute
    std::optional<QString> squawk;
    std::optional<QString> emergency;
    std::optional<QString> category; ///< ADS-B emitter category, "A1" … "D7"
    std::optional<double> lat;
    std::optional<double> lon;
    std::optional<double> seen; ///< seconds since any message
    std::optional<double> seenPos; ///< "seen_pos", seconds since the last position
    std::optional<qint64> dbFlags; ///< bit 0 = military
    std::optional<double> distanceNM; ///< "dst", from the query point, nautical miles
    std::optional<double> directionDeg; ///< "dir", bearing from the query point

    friend bool operator==(const Aircraft &, const Aircraft &) = default;

    const QString &id() const { return hex; }

    /// Drops the values that lie outside any physical range, which then read as absent: a latitude
    /// beyond ±90° or longitude beyond ±180°, a ground speed beyond 5,000 kt or below 0, a track or
    /// bearing outside 0…360°, an altitude outside −5,000…200,000 ft, a vertical rate beyond
    /// ±100,000 ft/min, a distance beyond half the globe (10,800 NM) or below 0, a negative age. A
    /// −0 reads as 0. So a feed's nonsense
    /// ("gs": 1e308) is never drawn, converted or shown; the decoder applies it to every record.
    void keepWithinPhysicalRanges();

    /// Trimmed callsign, else the registration, else the hex in upper case.
    QString displayName() const;
    /// (lat, lon) when both are present.
    std::optional<LatLon> coordinate() const;
    bool isOnGround() const;
    /// Feet of alt_baro when airborne, else alt_geom (also on the ground).
    std::optional<qint64> altitudeFeet() const;
    /// "On ground", "12,500 ft" (grouped in the given locale) or "—".
    QString altitudeText(const QLocale &locale = QLocale()) const;
    /// Widget rows: "GND", "12,500ft", "FL240" or "—".
    QString shortAltitude(const QLocale &locale = QLocale()) const;
    /// "320 kt" or "—".
    QString speedText() const;
    /// baro_rate, else geom_rate.
    std::optional<qint64> verticalRate() const;
    /// "↑ 1,280 ft/min"; absent without a rate or below 64 ft/min.
    std::optional<QString> verticalText(const QLocale &locale = QLocale()) const;
    bool isEmergency() const;
    bool isMilitary() const;
    bool isHelicopter() const;
    std::optional<double> distanceMiles() const;
    /// The catalogue's name for the type code, else the description in title case.
    std::optional<QString> typeName() const;
    /// The operator in title case, else the airline named by an airline callsign.
    std::optional<QString> operatorDisplayName() const;
    /// "Look NW, 12° up" or "Look NW"; absent without dir and dst.
    std::optional<QString> lookDirection() const;
    /// "3.2 mi" ("3.2mi" when compact) in the unit "mi", "nm" or "km"; absent without dst.
    std::optional<QString> distanceText(const QString &unit, bool compact = false) const;

    /// One of the sixteen compass points ("N", "NNE", …) for a bearing in degrees.
    static QString compassPoint(double bearing);
};

/// The envelope of one feed answer. Aggregators differ in the key of the list.
struct APIResponse {
    std::optional<QList<Aircraft>> ac;
    std::optional<QList<Aircraft>> aircraft;
};

Q_DECLARE_METATYPE(Aircraft)
