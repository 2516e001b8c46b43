// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QColor>
#include <QString>

#include <optional>

/// The colours of the scope widgets, all from one accent colour: a phosphor glow on a
/// background of the same hue, darkened almost to black.
struct ScopePalette {
    QColor phosphor; ///< the accent, opaque
    QColor background; ///< the accent with each component × 0.09, opaque

    /// Secondary text: phosphor at 55 %.
    QColor dim() const;
    /// Rings and cross-hairs: phosphor at 22 %.
    QColor faint() const;

    /// The palette of @p accentHex ("#73FF99"); standard() when it is absent or does not parse.
    static ScopePalette fromAccent(const std::optional<QString> &accentHex);
    /// Radar green: the default accent rounded to two places, phosphor (0.45, 1, 0.6).
    static const ScopePalette &standard();

    friend bool operator==(const ScopePalette &, const ScopePalette &) = default;
};

/// Military blips are gold on every palette.
QColor militaryGold();

/// The colour of an aircraft's blip or row glyph: emergency red, else military gold, else the
/// palette's phosphor.
QColor blipColor(const Aircraft &aircraft, const ScopePalette &palette);
