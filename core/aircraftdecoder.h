// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace simdjson::dom {
class parser;
}

/// Decodes feed answers and single aircraft records.
///
/// "hex" is required and must be a string; every other known key is optional (absent or null
/// gives an absent field) but must have the right JSON type when present: strings only for
/// text fields; for integer fields a number with no fractional part that fits 64 bits; any
/// number for the others. "alt_baro" that is not a whole number reads as on the ground.
/// Unknown keys are ignored. One bad record fails the whole answer. A value of the right type
/// but outside any physical range reads as absent (Aircraft::keepWithinPhysicalRanges).
///
/// The decoder keeps its parse buffers between calls, and shares the texts that repeat
/// between records and answers, so keep one per poller; it is not thread-safe.
class AircraftDecoder {
public:
    AircraftDecoder();
    ~AircraftDecoder();
    AircraftDecoder(const AircraftDecoder &) = delete;
    AircraftDecoder &operator=(const AircraftDecoder &) = delete;

    /// The envelope of a feed answer. On failure, absent, and @p error (when given) receives a
    /// one-line description.
    std::optional<APIResponse> decodeResponse(const QByteArray &json, QString *error = nullptr);
    /// One aircraft record, as the samples of the legend and the widget placeholder are written.
    std::optional<Aircraft> decodeAircraft(const QByteArray &json, QString *error = nullptr);

    /// The shared texts (internal to the decoder).
    class TextCache;

private:
    std::unique_ptr<simdjson::dom::parser> m_parser;
    std::unique_ptr<TextCache> m_texts;
};
