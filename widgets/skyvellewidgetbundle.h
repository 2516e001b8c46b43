// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgetfamily.h"
#include "widgetrender.h"

#include <QList>
#include <QString>

/// One kind of widget the user can add.
struct WidgetKind {
    QString kind; ///< stable identifier, kept in the host's widget list
    QString displayName;
    QString description;
    QList<WidgetLayout> layouts; ///< what it draws in each of the sizes it comes in

    QList<WidgetFamily> families() const;
};

/// The widgets Skyvelle offers, in the order the host lists them.
namespace SkyvelleWidgetBundle {

const QList<WidgetKind> &kinds();
/// The kind with identifier @p kind; nullptr for an unknown one.
const WidgetKind *find(const QString &kind);
/// What a widget of @p kind draws in @p family; nullopt when the kind does not come in it.
std::optional<WidgetLayout> layout(const QString &kind, WidgetFamily family);

} // namespace SkyvelleWidgetBundle
