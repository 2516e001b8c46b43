// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// Writing the desktop files (.desktop) that launchers and autostart read.
namespace DesktopEntry {

/// @p path as one argument of an Exec key: quoted when it holds a character the format
/// reserves (so spaces and shell characters stay one argument), "%" doubled so it is not read
/// as a field code, and the file's own backslash escapes applied.
QString execArgument(const QString &path);

} // namespace DesktopEntry
