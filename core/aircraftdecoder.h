// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

/// Decodes feed answers and single aircraft records.
///
/// "hex" is required and must be a string; every other known key is optional (absent or null
/// gives an absent field) but must have the right JSON type when present: strings only for
/// text fields; for integer fields a number with no fractional part that fits 64 bits; any
/// number for the others, integers beyond 64 bits included. "alt_baro" that is not a whole
/// number reads as on the ground. Unknown keys are ignored. Of a key repeated in a record the
/// last counts; of a list repeated in the envelope, the first. One bad record fails the whole
/// answer. A value of the right type but outside any physical range reads as absent
/// (Aircraft::keepWithinPhysicalRanges).
///
/// Only the known keys are decoded, but every byte is checked: an answer is refused as
/// malformed exactly when simdjson's document parser refuses it, except for integers beyond
/// 64 bits, which that parser refuses and JSON allows. Malformed JSON anywhere is reported
/// before a record of the wrong shape.
///
/// The decoder keeps its parse buffers between calls, and shares the texts that repeat
/// between records and answers, so keep one per poller; it is not thread-safe. An answer
/// whose array has SIMDJSON_PADDING (64) bytes to spare after its data is read in place; any
/// other is copied into the decoder's buffer first.
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

    /// The parser with its input buffer, and the shared texts (internal to the decoder).
    class Parser;
    class TextCache;

private:
    std::unique_ptr<Parser> m_parser;
    std::unique_ptr<TextCache> m_texts;
};
