// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <utility>

/// The compiled-in catalogue of three-letter ICAO airline designators and the callsign test
/// that tells airline flights ("UAL123") from registrations ("N123AB").
namespace Airlines {

/// True when @p callsign, without surrounding spaces and tabs and in upper case, has at least
/// four characters: three letters and then a number.
bool isAirlineCallsign(const std::optional<QString> &callsign);

/// The operator's name for an airline callsign, found by its first three characters; absent
/// when @p callsign is missing, is not an airline callsign or names no known operator.
std::optional<QString> name(const std::optional<QString> &callsign);

/// Every (designator, name) pair in catalogue order; designators are upper case and unique.
const QList<std::pair<QString, QString>> &entries();

} // namespace Airlines
