// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scopepalette.h"

#include <QRectF>
#include <QString>

class QPainter;

/// What every widget shows until the application has a home: a house and a line asking to
/// open Skyvelle.
class SetupPrompt {
public:
    explicit SetupPrompt(ScopePalette palette);

    static QString text();

    /// The prompt centred in @p rect, wrapped to its width.
    void paint(QPainter *painter, const QRectF &rect) const;

private:
    ScopePalette m_palette;
};
