// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Starting Skyvelle when the user logs in, through the desktop's autostart folder: the entry
// skyvelle.desktop there runs this program. It counts as on while the file exists and does not
// say Hidden=true (how desktops let a user switch an entry off without removing it).
class LoginItem {
public:
    // The entry in $XDG_CONFIG_HOME/autostart, running the program that is running now.
    LoginItem();
    // The entry in @p autostartFolder, running @p executablePath (absolute).
    LoginItem(const QString &autostartFolder, const QString &executablePath);

    bool isEnabled() const;
    // Writes the entry (over a hidden one) or removes it. On failure the entry is as it was,
    // and @p error says why in one line.
    bool setEnabled(bool enabled, QString *error);

private:
    QString entryPath() const;

    QString m_folder;
    QString m_executable;
};
