// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgetfamily.h"

#include <QList>
#include <QPoint>
#include <QString>

#include <optional>

/// One widget on the desktop, as the host remembers it between runs.
struct PlacedWidget {
    QString kind; ///< a kind of SkyvelleWidgetBundle
    WidgetFamily family = WidgetFamily::Small; ///< one of the kind's families
    QString screen; ///< QScreen::name() of the screen it was on
    QPoint position; ///< top-left corner in desktop coordinates

    friend bool operator==(const PlacedWidget &, const PlacedWidget &) = default;
};

/// "small", "medium" or "large": how the list file and the command line name a family.
QString familyName(WidgetFamily family);
std::optional<WidgetFamily> familyNamed(const QString &name);

/// The host's own file of the widgets the user placed: a JSON object {"widgets": [{"kind",
/// "family", "screen", "x", "y"}, …]}.
namespace WidgetList {

/// The widgets in the file at @p path; none when it is missing. A file that is not exactly such
/// a list of known kinds in families they come in (damaged, or edited by hand) gives none too and
/// is moved aside to "<path>.bad", so the next save does not destroy what the user may want back.
QList<PlacedWidget> load(const QString &path);
/// Replaces the file at @p path with @p widgets, creating its folder; false when that fails.
bool save(const QString &path, const QList<PlacedWidget> &widgets);

} // namespace WidgetList
