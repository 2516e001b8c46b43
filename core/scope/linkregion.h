// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRectF>
#include <QUrl>

/// A part of a painted widget that opens its own link when clicked (an aircraft row), in the
/// coordinates the view was painted in.
struct LinkRegion {
    QRectF rect;
    QUrl url;

    friend bool operator==(const LinkRegion &, const LinkRegion &) = default;
};

using LinkRegions = QList<LinkRegion>;
