// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <utility>

/// The compiled-in catalogue of ICAO aircraft type designators ("B739") and their names.
namespace AircraftTypes {

/// The name of the type whose designator is @p code in any case; absent for a missing code or
/// one the catalogue does not hold.
std::optional<QString> name(const std::optional<QString> &code);

/// Every (designator, name) pair in catalogue order; designators are upper case and unique.
const QList<std::pair<QString, QString>> &entries();

} // namespace AircraftTypes
