// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgetfamily.h"

QSizeF frameSize(WidgetFamily family)
{
    switch (family) {
    case WidgetFamily::Small:
        return { 170, 170 };
    case WidgetFamily::Medium:
        return { 364, 170 };
    case WidgetFamily::Large:
        return { 364, 382 };
    }
    return {};
}
