// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSizeF>

/// The sizes a desktop widget comes in.
enum class WidgetFamily { Small, Medium, Large };

/// The frame of a widget of @p family in points: 170 × 170, 364 × 170 or 364 × 382.
QSizeF frameSize(WidgetFamily family);
