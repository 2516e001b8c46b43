// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

/// The point the sky is watched around: WGS-84 degrees and the name shown for it.
struct HomeLocation {
    double latitude = 0.0;
    double longitude = 0.0;
    QString label;

    /// The JSON object with the keys "latitude", "longitude" and "label".
    /// Absent when a coordinate is not finite (JSON has no such number).
    std::optional<QJsonObject> toJson() const;
    /// Compact JSON bytes of toJson(); absent when toJson() is.
    std::optional<QByteArray> toJsonBytes() const;

    /// Whether a point is on the globe: latitude within −90…90 and longitude within −180…180
    /// degrees, both finite.
    static bool isValidCoordinate(double latitude, double longitude);

    /// Decodes an object that carries all three keys with the right types and a coordinate on
    /// the globe (isValidCoordinate); absent otherwise.
    static std::optional<HomeLocation> fromJson(const QJsonObject &object);
    /// Decodes JSON bytes holding such an object; absent on any failure.
    static std::optional<HomeLocation> fromJsonBytes(const QByteArray &bytes);

    friend bool operator==(const HomeLocation &, const HomeLocation &) = default;
};
