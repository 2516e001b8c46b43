// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// The XDG autostart entry that brings the widget host back at login.
namespace AutostartEntry {

/// "$XDG_CONFIG_HOME/autostart/skyvelle-widgets.desktop".
QString standardPath();
/// Writes the entry at @p path to run @p executable, unless it already says exactly that; false
/// when the write fails.
bool install(const QString &path, const QString &executable);
/// Deletes the entry; a missing one is fine.
void remove(const QString &path);

} // namespace AutostartEntry
