// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPalette>
#include <QString>

class Preferences;
class QDBusVariant;

// Keeps the application's palette in line with the appearanceChoice preference: Light and
// Dark force a light or dark palette, Automatic follows the desktop's colour-scheme
// preference (read from the XDG desktop portal when there is one, else the platform palette).
// Changes apply at once to every open window.
class Appearance : public QObject {
    Q_OBJECT
public:
    // What the desktop portal reports under org.freedesktop.appearance color-scheme.
    enum class DesktopScheme : uint { noPreference = 0, preferDark = 1, preferLight = 2 };

    // Takes the palette in force now as the platform's own, applies the preference, and asks
    // the portal for the desktop's scheme.
    explicit Appearance(Preferences *preferences, QObject *parent = nullptr);

    static QPalette lightPalette();
    static QPalette darkPalette();

    // The palette that the current preference and desktop scheme call for.
    QPalette palette() const;
    bool isDark() const;
    // Records the desktop's scheme (the portal's answer or change signal) and applies it.
    void setDesktopScheme(DesktopScheme scheme);

Q_SIGNALS:
    // The application palette was replaced.
    void changed();

private Q_SLOTS:
    void portalSettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void apply();
    void watchPortal();

    Preferences *m_preferences;
    QPalette m_platformPalette;
    DesktopScheme m_desktopScheme = DesktopScheme::noPreference;
};
