// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/settings/loginitem.h"

#include <QWidget>

class FlightStore;
class NotificationPermission;
class Preferences;
class SettingsView;

// The "Settings" window around the settings view, titled after the pane shown. The
// application keeps one and shows it again when asked.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    // @p permission may be null: nothing to ask when alerts are turned on.
    SettingsWindow(Preferences *preferences, FlightStore *store, QWidget *parent = nullptr,
        const LoginItem &loginItem = LoginItem(), NotificationPermission *permission = nullptr);

    SettingsView *view() const { return m_view; }

    // Shows the window in front and focused, centred on the screen of @p near when it opens.
    void present(QWidget *near);

private:
    SettingsView *m_view;
};
