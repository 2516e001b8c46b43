// SPDX-License-Identifier: GPL-3.0-or-later
#include "skyvelleapp.h"

#include "aboutwindow.h"
#include "alertengine.h"
#include "appdelegate.h"
#include "appearance.h"
#include "atcaudio.h"
#include "flightstore.h"
#include "geocoder.h"
#include "helpwindow.h"
#include "locationonce.h"
#include "logbookwindow.h"
#include "mainwindow.h"
#include "map/radarmapview.h"
#include "map/tilesource.h"
#include "notifier.h"
#include "preferences.h"
#include "radaricon.h"
#include "schemehandler.h"
#include "settingswindow.h"
#include "sharedstate.h"
#include "sightinglog.h"
#include "singleinstance.h"
#include "symbols.h"
#include "trayicon.h"
#include "updater.h"
#include "updatermodel.h"
#include "updatewindow.h"
#include "views/aircraftdetailcard.h"
#include "views/atcaudioview.h"
#include "views/contentview.h"
#include "views/legendpopover.h"
#include "views/updatebanner.h"
#include "weblink.h"

#include <QAction>
#include <QNetworkAccessManager>
#include <QSocketNotifier>
#include <QToolBar>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int signalPipe[2] = { -1, -1 };

void forwardSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; the event loop picks the byte up.
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

SkyvelleApp::Paths SkyvelleApp::Paths::standard()
{
    return { Preferences::defaultFilePath(), SharedState::directory(), QString() };
}

SkyvelleApp::SkyvelleApp(int &argc, char **argv, const Paths &paths)
    : QApplication(argc, argv)
{
    setApplicationName(u"Skyvelle"_s);
    setApplicationVersion(QStringLiteral(SKYVELLE_VERSION));
    setOrganizationName(u"Skyvelle"_s);
    setDesktopFileName(u"skyvelle"_s);

    setStyle(u"Fusion"_s);
    setWindowIcon(RadarIcon::icon());
    quitOnTerminationSignals();

    m_preferences = new Preferences(paths.settingsFile, this);
    m_services = Services::withOverrides(m_preferences->serviceOverrides());
    m_network = new QNetworkAccessManager(this);
    m_store = new FlightStore(m_preferences, m_network, m_services, paths.dataDirectory, this);
    connect(this, &QCoreApplication::aboutToQuit, m_preferences, &Preferences::sync);
    m_geocoder = new Geocoder(m_network, m_services,
        RequestOptions { m_services.userAgentWithContact(), Geocoder::defaultTimeoutMs }, this);
    m_location = new LocationOnce(this);
    m_appearance = new Appearance(m_preferences, this);

    // Tiles get a manager of their own: its disk cache is for tiles only.
    m_tileNetwork = new QNetworkAccessManager(this);
    m_tiles = new TileSource(m_tileNetwork, m_services, paths.tileCache, this);

    m_notifier = new Notifier(this);
    m_alerts = new AlertEngine(m_preferences, m_notifier, this);
    m_logbook = new SightingLog(paths.dataDirectory, this);
    // Playback goes on with no window open, like the polling.
    m_atcAudio = new ATCAudio(m_preferences, m_network, m_services, this);
    // Alerts see each answer before the logbook counts it.
    connect(m_store, &FlightStore::answerApplied, this, [this](const QList<Aircraft> &aircraft) {
        if (const auto &home = m_store->home())
            m_alerts->evaluate(aircraft, *home);
        m_logbook->record(aircraft);
    });
    // The one-minute timer alone would lose the last minute of sightings at every quit.
    connect(this, &QCoreApplication::aboutToQuit, m_logbook, &SightingLog::saveIfDirty);
    // The quiet probe 5 s from now and the daily check start by themselves; the window shows
    // only what the user asked for.
    m_updates =
        new UpdaterModel(new Updater(m_preferences, m_network, m_services, Updater::Options()),
            UpdaterModel::Delays(), this);
    m_updateWindow = std::make_unique<UpdateWindow>(m_updates->updater());
    m_delegate = new AppDelegate(m_store, DebugLog(paths.debugLog),
        AppDelegate::Shots { paths.shotFile, paths.widgetShotFolder }, this);
    m_delegate->setFallbackFactory([this] {
        auto *window = new MainWindow(m_store, m_preferences, m_geocoder, m_location);
        furnishMainWindow(window);
        return window;
    });
    connect(m_notifier, &Notifier::activated, m_delegate, &AppDelegate::notificationClicked);
    keepRunningInBackground();
}

void SkyvelleApp::launch(const QString &argument, SingleInstance *instance)
{
    if (instance)
        connect(instance, &SingleInstance::received, m_delegate, [this](const QString &text) {
            // Launched again without a link: the user wants a window.
            if (text.isEmpty())
                m_delegate->restoreMainWindow();
            else
                m_delegate->handleGetURL(text);
        });
    showMainWindow();
    m_delegate->didFinishLaunching();
    if (!argument.isEmpty())
        m_delegate->handleGetURL(argument);
}

SkyvelleApp::~SkyvelleApp()
{
    // The windows have no parent and use the store and the log, so they go first. Then what
    // holds network replies, while the managers those replies report to still exist: the
    // children of the application go in the order they were made, managers first, and a reply
    // aborted after its manager crashes.
    delete m_mainWindow;
    m_logbookWindow.reset();
    m_aboutWindow.reset();
    m_helpWindow.reset();
    m_settingsWindow.reset();
    m_updateWindow.reset();
    delete m_delegate;
    delete m_updates;
    delete m_tiles;
    delete m_geocoder;
    delete m_atcAudio;
    delete m_store;
}

void SkyvelleApp::registerAsLinkHandler()
{
    m_schemeHandler = new SchemeHandler(this);
    connect(m_schemeHandler, &SchemeHandler::logLine, m_delegate,
        [this](const QString &line) { m_delegate->log().write(line); });
    m_schemeHandler->ensureRegistered(applicationFilePath());
}

MainWindow *SkyvelleApp::mainWindow() const
{
    return m_mainWindow;
}

void SkyvelleApp::showMainWindow()
{
    if (!m_mainWindow) {
        m_mainWindow = new MainWindow(m_store, m_preferences, m_geocoder, m_location);
        // Closing the window releases it; the next call opens a fresh one.
        m_mainWindow->setAttribute(Qt::WA_DeleteOnClose);
        furnishMainWindow(m_mainWindow);
        m_delegate->setOpenMainWindow([this] { showMainWindow(); });
    }
    if (m_mainWindow->isMinimized())
        m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

void SkyvelleApp::showLogbook()
{
    if (!m_logbookWindow)
        m_logbookWindow = std::make_unique<LogbookWindow>(m_logbook);
    m_logbookWindow->present(m_mainWindow);
}

void SkyvelleApp::showAbout()
{
    if (!m_aboutWindow)
        m_aboutWindow = std::make_unique<AboutWindow>(m_services, m_preferences);
    m_aboutWindow->present(m_mainWindow);
}

void SkyvelleApp::showHelp()
{
    if (!m_helpWindow)
        m_helpWindow = std::make_unique<HelpWindow>();
    m_helpWindow->present(m_mainWindow);
}

void SkyvelleApp::showSettings()
{
    if (!m_settingsWindow)
        m_settingsWindow = std::make_unique<SettingsWindow>(
            m_preferences, m_store, nullptr, LoginItem(), &m_notificationPermission);
    m_settingsWindow->present(m_mainWindow);
}

void SkyvelleApp::furnishMainWindow(MainWindow *window)
{
    auto *map = new RadarMapView(m_store, m_preferences, m_tiles);
    map->setCornerWidget(new AircraftDetailCard(m_store, m_preferences, m_network));
    window->setMapView(map);

    auto *logbook = new QAction(Symbols::icon(u"chart.bar"_s), u"Logbook"_s, window);
    logbook->setToolTip(u"Sighting statistics"_s);
    connect(logbook, &QAction::triggered, this, &SkyvelleApp::showLogbook);
    window->toolBar()->insertAction(window->homeAction(), logbook);

    auto *atc =
        new QAction(Symbols::icon(ATCAudioView::buttonSymbol(m_atcAudio)), u"ATC Audio"_s, window);
    atc->setObjectName(u"atcAudio"_s);
    atc->setToolTip(QString::fromLatin1(ATCAudioView::toolTip));
    window->toolBar()->insertAction(logbook, atc);
    auto *panel = new ATCAudioView(m_atcAudio, window);
    connect(m_atcAudio, &ATCAudio::statusChanged, atc,
        [this, atc] { atc->setIcon(Symbols::icon(ATCAudioView::buttonSymbol(m_atcAudio))); });
    connect(atc, &QAction::triggered, panel,
        [window, atc, panel] { panel->toggle(window->toolBar()->widgetForAction(atc)); });

    auto *legend = new QAction(Symbols::icon(u"questionmark.circle"_s), u"Legend"_s, window);
    legend->setObjectName(u"legend"_s);
    legend->setToolTip(u"What the icons and colors mean"_s);
    window->toolBar()->insertAction(window->homeAction(), legend);
    auto *popover = new LegendPopover(m_preferences, window);
    connect(popover, &LegendPopover::helpRequested, this, &SkyvelleApp::showHelp);
    connect(legend, &QAction::triggered, popover,
        [window, legend, popover] { popover->toggle(window->toolBar()->widgetForAction(legend)); });

    window->settingsAction()->setEnabled(true);
    connect(window->settingsAction(), &QAction::triggered, this, &SkyvelleApp::showSettings);

    window->checkForUpdatesAction()->setEnabled(true);
    connect(window->checkForUpdatesAction(), &QAction::triggered, m_updates,
        &UpdaterModel::checkForUpdates);
    UpdateBanner::attach(m_updates, window->contentView()->aircraftListView());

    connect(window->aboutAction(), &QAction::triggered, this, &SkyvelleApp::showAbout);
    connect(window->helpAction(), &QAction::triggered, this, &SkyvelleApp::showHelp);
    connect(window->websiteAction(), &QAction::triggered, this,
        [this] { WebLink::open(m_services.homepage); });
    connect(window->releaseHistoryAction(), &QAction::triggered, this, [this] {
        QUrl notes = m_services.homepage;
        notes.setFragment(u"releases"_s);
        WebLink::open(notes);
    });
}

void SkyvelleApp::keepRunningInBackground()
{
    // With no window the engine keeps polling and alerting; a launch brings a window back.
    setQuitOnLastWindowClosed(false);
    if (TrayIcon::isAvailable()) {
        m_tray = new TrayIcon(m_store, this);
        connect(m_tray, &TrayIcon::showRequested, m_delegate, &AppDelegate::restoreMainWindow);
        return;
    }
    // Without a tray nothing on screen says Skyvelle still runs, so the first close says it once.
    connect(this, &QGuiApplication::lastWindowClosed, this, [this] {
        if (std::exchange(m_toldAboutBackground, true))
            return;
        m_notifier->post(u"Skyvelle keeps watching the sky"_s,
            u"Alerts still arrive with no window open. Open Skyvelle again to see the map, or "
            u"choose Quit (Ctrl+Q) in its window to stop it."_s,
            QString());
    });
}

void SkyvelleApp::quitOnTerminationSignals()
{
    // Logout, shutdown and Ctrl+C end the application the normal way, so that everything
    // that saves on quit gets to save.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [] {
        char byte;
        [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
