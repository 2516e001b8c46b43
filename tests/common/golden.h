// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "photoapi.h"
#include "routeapi.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// Golden files for the decoders: what a decoder made of an input, written out as JSON with
// every field by name (absent fields left out), and compared whole with the expected file.
namespace Golden {

QJsonObject toJson(const Aircraft &aircraft);
QJsonObject toJson(const FlightRoute &route);
QJsonObject toJson(const PlanePhoto &photo);

// Empty when @p actual equals the JSON in @p expectedPath; otherwise a report with the lines
// that differ. With SKYVELLE_UPDATE_GOLDEN=1 in the environment the file is rewritten instead
// (review the change before committing it).
QString compare(const QJsonValue &actual, const QString &expectedPath);

} // namespace Golden
