// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class FlightStore;
class QAction;
class QMenu;
class QSystemTrayIcon;

/// Skyvelle's icon in the desktop's tray, for a Skyvelle running with no window: it brings a
/// window back, pauses or resumes the feed, and quits.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    /// Whether the desktop shows tray icons (StatusNotifierItem or XEmbed).
    static bool isAvailable();

    explicit TrayIcon(FlightStore *store, QObject *parent = nullptr);
    ~TrayIcon() override;

    QMenu *menu() const { return m_menu; }
    QAction *pauseAction() const { return m_pause; }

Q_SIGNALS:
    /// "Show Skyvelle", or a click on the icon.
    void showRequested();

private:
    void updatePauseAction();

    FlightStore *m_store;
    QMenu *m_menu = nullptr;
    QAction *m_pause = nullptr;
    QSystemTrayIcon *m_icon = nullptr;
};
