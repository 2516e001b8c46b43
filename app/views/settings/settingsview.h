// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "loginitem.h"

#include <QWidget>

class FlightStore;
class NotificationPermission;
class Preferences;
class QListWidget;
class QStackedWidget;

// Every user setting on five panes: a sidebar of panes (Up and Down move between them) beside
// the chosen pane, scrolling. Each control writes its preference at once and follows changes
// made elsewhere; there is no apply step. While it lives, a change of distance unit or widget
// accent is handed on to the widgets.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    enum class Pane { General, Map, Alerts, Accessibility, Privacy };
    Q_ENUM(Pane)

    // @p permission may be null: nothing to ask when alerts are turned on.
    SettingsView(Preferences *preferences, FlightStore *store, const LoginItem &loginItem,
        NotificationPermission *permission, QWidget *parent = nullptr);

    Pane pane() const;
    void setPane(Pane pane);
    static QString title(Pane pane);

Q_SIGNALS:
    void paneChanged(SettingsView::Pane pane);

private:
    QListWidget *m_sidebar;
    QStackedWidget *m_panes;
};
