// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgetfamily.h"

#include <QObject>

class QMenu;
class QSystemTrayIcon;

/// The host's icon in the desktop's tray: add a widget of any kind and family, remove them all,
/// quit.
class WidgetTray : public QObject {
    Q_OBJECT
public:
    explicit WidgetTray(QObject *parent = nullptr);
    ~WidgetTray() override;

    QMenu *menu() const { return m_menu; }

Q_SIGNALS:
    void addRequested(const QString &kind, WidgetFamily family);
    void removeAllRequested();

private:
    QMenu *m_menu;
    QSystemTrayIcon *m_icon;
};
