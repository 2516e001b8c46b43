// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loginitem.h"

#include <QWidget>

class NotificationPermission;
class Preferences;
class QCheckBox;
class QLabel;

// Settings → Alerts: the master switch, the rules, the watchlist and starting at login. The
// alert engine reads the switches itself at its next evaluation; this pane only asks for
// notification permission when alerts are turned on, and keeps the login item.
class AlertsPane : public QWidget {
    Q_OBJECT
public:
    // @p permission may be null: nothing to ask.
    AlertsPane(Preferences *preferences, const LoginItem &loginItem,
        NotificationPermission *permission, QWidget *parent);

private:
    void setLaunchAtLogin(bool enabled);

    LoginItem m_loginItem;
    QCheckBox *m_launchAtLogin = nullptr;
    QLabel *m_loginItemError = nullptr;
};
