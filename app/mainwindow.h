// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QLocale>
#include <QMainWindow>
#include <QPointer>

class ContentView;
class FlightStore;
class Geocoder;
class LocationOnce;
class Preferences;
class QAction;
class RadarMapView;
class QActionGroup;
class QMenu;
class QToolBar;
class QToolButton;

// The main window: the content view under a toolbar (radius, pause, then the panels and the
// home location), the menus, and a title that sums up the live state.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(FlightStore *store, Preferences *preferences, Geocoder *geocoder,
        LocationOnce *location, QWidget *parent = nullptr);
    ~MainWindow() override;

    // "12 aircraft within 25 nm · updated 3:42:07 PM", or "… · paused"; no time before the
    // first update.
    static QString statusSummary(qsizetype aircraftCount, double radiusNM, bool paused,
        const QDateTime &lastUpdated, const QLocale &locale = QLocale());
    // A clock time in the locale's standard style with seconds and without the time zone.
    static QString standardTime(const QTime &time, const QLocale &locale = QLocale());

    ContentView *contentView() const { return m_content; }
    QToolBar *toolBar() const { return m_toolBar; }
    // Buttons for further panels go before this action, so that Home Location stays last.
    QAction *homeAction() const { return m_homeAction; }
    QAction *pauseAction() const { return m_pauseAction; }
    QToolButton *radiusButton() const { return m_radiusButton; }
    QMenu *radiusMenu() const { return m_radiusMenu; }
    QMenu *applicationMenu() const { return m_applicationMenu; }
    QMenu *viewMenu() const { return m_viewMenu; }
    QAction *showTrailsAction() const { return m_showTrails; }
    QAction *colorByAltitudeAction() const { return m_colorByAltitude; }
    QAction *quitAction() const { return m_quit; }
    /// The commands the application answers: About, the update check, Settings, and Help's
    /// three (the help window, the website, its release notes).
    QAction *aboutAction() const { return m_about; }
    QAction *checkForUpdatesAction() const { return m_checkForUpdates; }
    QAction *settingsAction() const { return m_settings; }
    QMenu *helpMenu() const { return m_helpMenu; }
    QAction *helpAction() const { return m_help; }
    QAction *websiteAction() const { return m_website; }
    QAction *releaseHistoryAction() const { return m_releaseHistory; }
    // Puts the map in the detail column: Enter in the list centres it on the selection, and it
    // follows the toolbar in the Tab chain.
    void setMapView(RadarMapView *map);
    // The home-location dialog while it is open.
    QDialog *homeDialog() const { return m_homeDialog; }

public Q_SLOTS:
    // Opens the home-location setup as a dialog over this window.
    void showHomeDialog();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void updateTitle();
    void updatePauseAction();
    void updateRadius();
    void updateToolBarVisibility();
    // Tab goes the way the eye reads: the sidebar top down, the toolbar, then the map.
    void updateTabOrder();

    FlightStore *m_store;
    Preferences *m_preferences;
    Geocoder *m_geocoder;
    LocationOnce *m_location;
    ContentView *m_content = nullptr;

    QMenu *m_applicationMenu = nullptr;
    QMenu *m_viewMenu = nullptr;
    QAction *m_showTrails = nullptr;
    QAction *m_colorByAltitude = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_about = nullptr;
    QAction *m_checkForUpdates = nullptr;
    QAction *m_settings = nullptr;
    QMenu *m_helpMenu = nullptr;
    QAction *m_help = nullptr;
    QAction *m_website = nullptr;
    QAction *m_releaseHistory = nullptr;

    QToolBar *m_toolBar = nullptr;
    QToolButton *m_radiusButton = nullptr;
    QMenu *m_radiusMenu = nullptr;
    QActionGroup *m_radiusGroup = nullptr;
    QAction *m_pauseAction = nullptr;
    QAction *m_homeAction = nullptr;
    QPointer<QDialog> m_homeDialog;
    QPointer<RadarMapView> m_map;
};
