// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "debuglog.h"
#include "services.h"
#include "views/settings/notificationpermission.h"

#include <QApplication>
#include <QPointer>

#include <memory>

class AboutWindow;
class ATCAudio;
class AlertEngine;
class AppDelegate;
class Appearance;
class FlightStore;
class Geocoder;
class HelpWindow;
class LocationOnce;
class LogbookWindow;
class MainWindow;
class Notifier;
class Preferences;
class QNetworkAccessManager;
class SchemeHandler;
class SettingsWindow;
class SightingLog;
class SingleInstance;
class TileSource;
class TrayIcon;
class UpdaterModel;
class UpdateWindow;

/// The application object: creates the process-wide objects once, wires them together and
/// hands them to the windows.
class SkyvelleApp : public QApplication {
    Q_OBJECT
public:
    /// Where the application keeps its files.
    struct Paths {
        QString settingsFile; ///< the INI settings, with the [services] overrides
        QString dataDirectory; ///< widget-config.json and logbook.json
        QString tileCache; ///< empty: the standard cache folder
        QString debugLog = DebugLog::defaultPath(); ///< the diagnostic log
        QString shotFile = QStringLiteral("/tmp/skyvelle-shot.png"); ///< skyvelle://shot
        QString widgetShotFolder = QStringLiteral("/tmp"); ///< skyvelle://widgetshots
        /// The user's own: the XDG config, data and cache folders.
        static Paths standard();
    };

    /// Builds the process-wide objects; no window yet, so that main() can still hand the launch
    /// to a Skyvelle already running.
    SkyvelleApp(int &argc, char **argv, const Paths &paths = Paths::standard());
    ~SkyvelleApp() override;

    /// Opens the main window and handles @p argument (a link, or empty) as the launch's own.
    /// Later launches reach this one through @p instance when given.
    void launch(const QString &argument = QString(), SingleInstance *instance = nullptr);
    /// Makes this program the user's handler of skyvelle:// links when nothing handles them.
    void registerAsLinkHandler();

    Preferences *preferences() const { return m_preferences; }
    FlightStore *flightStore() const { return m_store; }
    Geocoder *geocoder() const { return m_geocoder; }
    LocationOnce *locationOnce() const { return m_location; }
    Appearance *appearance() const { return m_appearance; }
    AlertEngine *alertEngine() const { return m_alerts; }
    SightingLog *sightingLog() const { return m_logbook; }
    ATCAudio *atcAudio() const { return m_atcAudio; }
    UpdaterModel *updaterModel() const { return m_updates; }
    UpdateWindow *updateWindow() const { return m_updateWindow.get(); }
    AppDelegate *delegate() const { return m_delegate; }
    /// The main window; nullptr after the user closed it.
    MainWindow *mainWindow() const;

    /// Brings the main window to the front, restoring it when minimised, or opens a new one
    /// when there is none.
    void showMainWindow();
    /// Opens the one logbook window, or brings it to the front.
    void showLogbook();
    /// Opens the one About window, or brings it to the front.
    void showAbout();
    /// Opens the one Help window, or brings it to the front.
    void showHelp();
    /// Opens the one Settings window, or brings it to the front.
    void showSettings();

private:
    void quitOnTerminationSignals();
    void keepRunningInBackground();
    void furnishMainWindow(MainWindow *window);

    Preferences *m_preferences = nullptr;
    QNetworkAccessManager *m_network = nullptr;
    Services m_services;
    FlightStore *m_store = nullptr;
    Geocoder *m_geocoder = nullptr;
    LocationOnce *m_location = nullptr;
    Appearance *m_appearance = nullptr;
    Notifier *m_notifier = nullptr;
    AlertEngine *m_alerts = nullptr;
    SightingLog *m_logbook = nullptr;
    ATCAudio *m_atcAudio = nullptr;
    UpdaterModel *m_updates = nullptr;
    std::unique_ptr<UpdateWindow> m_updateWindow;
    QNetworkAccessManager *m_tileNetwork = nullptr;
    TileSource *m_tiles = nullptr;
    AppDelegate *m_delegate = nullptr;
    TrayIcon *m_tray = nullptr;
    bool m_toldAboutBackground = false;
    QPointer<MainWindow> m_mainWindow;
    std::unique_ptr<LogbookWindow> m_logbookWindow;
    std::unique_ptr<AboutWindow> m_aboutWindow;
    std::unique_ptr<HelpWindow> m_helpWindow;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    // Desktop notifications need no permission: asking is a no-op, kept for its one caller.
    NotificationPermission m_notificationPermission;
    SchemeHandler *m_schemeHandler = nullptr;
};
