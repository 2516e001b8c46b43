// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "flightstore.h"
#include "map/radarmapview.h"
#include "preferences.h"
#include "symbols.h"
#include "textutil.h"
#include "views/aircraftlistview.h"
#include "views/contentview.h"
#include "views/setupview.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QChildEvent>
#include <QDialog>
#include <QEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QList<int> radiusChoices { 5, 10, 25, 50, 100, 250 };

QString radiusLabel(double radiusNM)
{
    return TextUtil::formatNumber(radiusNM) + u" nm"_s;
}

} // namespace

MainWindow::MainWindow(FlightStore *store, Preferences *preferences, Geocoder *geocoder,
    LocationOnce *location, QWidget *parent)
    : QMainWindow(parent)
    , m_store(store)
    , m_preferences(preferences)
    , m_geocoder(geocoder)
    , m_location(location)
{
    setObjectName(u"mainWindow"_s);
    resize(1180, 740);
    setMinimumSize(900, 560);

    m_content = new ContentView(store, preferences, geocoder, location, this);
    setCentralWidget(m_content);
    buildMenus();
    buildToolBar();

    for (auto signal :
        { &FlightStore::aircraftChanged, &FlightStore::radiusNMChanged, &FlightStore::pausedChanged,
            &FlightStore::lastUpdatedChanged, &FlightStore::homeChanged }) {
        connect(m_store, signal, this, &MainWindow::updateTitle);
    }
    connect(m_store, &FlightStore::pausedChanged, this, &MainWindow::updatePauseAction);
    connect(m_store, &FlightStore::radiusNMChanged, this, &MainWindow::updateRadius);
    connect(
        m_content, &ContentView::showingSetupChanged, this, &MainWindow::updateToolBarVisibility);

    updateTitle();
    updatePauseAction();
    updateRadius();
    updateToolBarVisibility();
    updateTabOrder();
}

MainWindow::~MainWindow() = default;

void MainWindow::setMapView(RadarMapView *map)
{
    m_content->setDetailWidget(map);
    m_map = map;
    connect(m_content->aircraftListView(), &AircraftListView::showSelectionRequested, map,
        &RadarMapView::focusOnSelection);
    updateTabOrder();
}

void MainWindow::updateTabOrder()
{
    const AircraftListView *list = m_content->aircraftListView();
    QList<QWidget *> order { list->searchField(), list->filterButton(), list->listView() };
    for (QAction *action : m_toolBar->actions()) {
        if (QWidget *button = m_toolBar->widgetForAction(action);
            button && button->focusPolicy() != Qt::NoFocus)
            order << button;
    }
    if (m_map)
        order << m_map;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

QString MainWindow::standardTime(const QTime &time, const QLocale &locale)
{
    // The long format is the standard one with seconds, plus a time zone ("t") that the
    // summary leaves out.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        kept += c;
    }
    kept.remove(u"()"_s);
    return locale.toString(time, kept.trimmed());
}

QString MainWindow::statusSummary(qsizetype aircraftCount, double radiusNM, bool paused,
    const QDateTime &lastUpdated, const QLocale &locale)
{
    QString summary =
        u"%1 aircraft within %2 nm"_s.arg(aircraftCount).arg(TextUtil::formatNumber(radiusNM));
    if (paused)
        summary += u" · paused"_s;
    else if (lastUpdated.isValid())
        summary += u" · updated "_s + standardTime(lastUpdated.time(), locale);
    return summary;
}

void MainWindow::buildMenus()
{
    // Object names let the tests and the accessibility tree find each command.
    const auto add = [](QMenu *menu, const QString &text, const QString &name,
                         const QKeySequence &shortcut = {}) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        action->setShortcut(shortcut);
        return action;
    };
    m_applicationMenu = menuBar()->addMenu(u"&Skyvelle"_s);
    m_applicationMenu->setObjectName(u"applicationMenu"_s);
    m_about = add(m_applicationMenu, u"&About Skyvelle"_s, u"about"_s);
    m_about->setMenuRole(QAction::AboutRole);
    m_checkForUpdates = add(m_applicationMenu, u"Check for &Updates…"_s, u"checkForUpdates"_s);
    m_checkForUpdates->setMenuRole(QAction::ApplicationSpecificRole);
    m_checkForUpdates->setEnabled(false);
    m_applicationMenu->addSeparator();
    m_settings = add(
        m_applicationMenu, u"S&ettings…"_s, u"settings"_s, QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_settings->setMenuRole(QAction::PreferencesRole);
    m_settings->setEnabled(false);
    m_applicationMenu->addSeparator();
    // Ctrl+Q everywhere, also where the platform names no standard quit key.
    m_quit = add(m_applicationMenu, u"&Quit"_s, u"quit"_s, QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quit->setMenuRole(QAction::QuitRole);
    connect(m_quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);

    auto *find = new QAction(u"&Find Aircraft"_s, m_applicationMenu);
    m_applicationMenu->insertAction(m_quit, find);
    m_applicationMenu->insertSeparator(m_quit);
    find->setObjectName(u"findAircraft"_s);
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(find, &QAction::triggered, this, [this] {
        QLineEdit *search = m_content->aircraftListView()->searchField();
        if (!search->isVisible())
            return;
        search->setFocus(Qt::ShortcutFocusReason);
        search->selectAll();
    });

    m_viewMenu = menuBar()->addMenu(u"&View"_s);
    m_viewMenu->setObjectName(u"viewMenu"_s);
    m_showTrails = add(m_viewMenu, u"Show Flight Trails"_s, u"showTrails"_s,
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    m_showTrails->setCheckable(true);
    m_showTrails->setChecked(m_preferences->showTrails());
    connect(m_showTrails, &QAction::toggled, m_preferences,
        [this](bool on) { m_preferences->setShowTrails(on); });
    connect(m_preferences, &Preferences::showTrailsChanged, m_showTrails,
        [this] { m_showTrails->setChecked(m_preferences->showTrails()); });

    m_colorByAltitude = add(m_viewMenu, u"Color Aircraft by Altitude"_s, u"colorByAltitude"_s,
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    m_colorByAltitude->setCheckable(true);
    m_colorByAltitude->setChecked(m_preferences->colorByAltitude());
    connect(m_colorByAltitude, &QAction::toggled, m_preferences,
        [this](bool on) { m_preferences->setColorByAltitude(on); });
    connect(m_preferences, &Preferences::colorByAltitudeChanged, m_colorByAltitude,
        [this] { m_colorByAltitude->setChecked(m_preferences->colorByAltitude()); });

    m_helpMenu = menuBar()->addMenu(u"&Help"_s);
    m_helpMenu->setObjectName(u"helpMenu"_s);
    m_help = add(m_helpMenu, u"Skyvelle &Help"_s, u"help"_s, QKeySequence::HelpContents);
    m_website = add(m_helpMenu, u"Skyvelle &Website"_s, u"website"_s);
    m_releaseHistory = add(m_helpMenu, u"&Release History"_s, u"releaseHistory"_s);
}

void MainWindow::buildToolBar()
{
    m_toolBar = addToolBar(u"Toolbar"_s);
    m_toolBar->setObjectName(u"mainToolBar"_s);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolBar->toggleViewAction()->setVisible(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toolBar->setIconSize(QSize(18, 18));
    // Toolbars leave their buttons out of the Tab chain; every button here, including the ones
    // other panels add later, is made reachable as it is polished.
    m_toolBar->installEventFilter(this);

    // A picker that shows its value: "25 nm" and a chevron after it. The menu opens from a
    // click rather than through setMenu(), whose arrow the style would draw over the text.
    m_radiusButton = new QToolButton(m_toolBar);
    m_radiusButton->setObjectName(u"radiusButton"_s);
    m_radiusButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_radiusButton->setLayoutDirection(Qt::RightToLeft);
    m_radiusButton->setIcon(Symbols::icon(u"chevron.down"_s));
    m_radiusButton->setIconSize(QSize(14, 14));
    m_radiusButton->setAutoRaise(true);
    m_radiusButton->setAccessibleName(u"Radius"_s);
    m_radiusButton->setToolTip(u"Search radius around home"_s);
    m_radiusMenu = new QMenu(u"Radius"_s, m_radiusButton);
    m_radiusMenu->setObjectName(u"radiusMenu"_s);
    m_radiusMenu->setLayoutDirection(Qt::LeftToRight);
    m_radiusGroup = new QActionGroup(m_radiusMenu);
    m_radiusGroup->setExclusive(true);
    for (const int nm : radiusChoices) {
        QAction *choice = m_radiusMenu->addAction(u"%1 nm"_s.arg(nm));
        choice->setCheckable(true);
        choice->setData(nm);
        m_radiusGroup->addAction(choice);
        connect(choice, &QAction::triggered, m_store, [this, nm] {
            if (m_store->radiusNM() != nm)
                m_store->setRadiusNM(nm);
        });
    }
    connect(m_radiusButton, &QToolButton::clicked, m_radiusMenu, [this] {
        m_radiusMenu->setActiveAction(m_radiusGroup->checkedAction());
        m_radiusMenu->popup(m_radiusButton->mapToGlobal(QPoint(0, m_radiusButton->height())));
    });
    // As wide as the widest choice, so that picking one does not shift the toolbar.
    int widest = 0;
    for (const int nm : radiusChoices) {
        m_radiusButton->setText(radiusLabel(nm));
        widest = qMax(widest, m_radiusButton->sizeHint().width());
    }
    m_radiusButton->setFixedWidth(widest);
    m_toolBar->addWidget(m_radiusButton);

    m_pauseAction = m_toolBar->addAction(u"Pause"_s);
    m_pauseAction->setObjectName(u"pause"_s);
    connect(m_pauseAction, &QAction::triggered, m_store,
        [this] { m_store->setPaused(!m_store->isPaused()); });

    m_homeAction = m_toolBar->addAction(Symbols::icon(u"house"_s), u"Home Location"_s);
    m_homeAction->setObjectName(u"homeLocation"_s);
    m_homeAction->setToolTip(u"Change home location"_s);
    connect(m_homeAction, &QAction::triggered, this, &MainWindow::showHomeDialog);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_toolBar && event->type() == QEvent::ChildPolished) {
        if (auto *button =
                qobject_cast<QToolButton *>(static_cast<QChildEvent *>(event)->child())) {
            if (button->focusPolicy() == Qt::NoFocus)
                button->setFocusPolicy(Qt::TabFocus);
            // A button added later (Logbook) takes its toolbar place in the chain, not the end.
            updateTabOrder();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showHomeDialog()
{
    if (m_homeDialog) {
        m_homeDialog->raise();
        m_homeDialog->activateWindow();
        return;
    }
    auto *dialog = new QDialog(this);
    dialog->setObjectName(u"homeDialog"_s);
    dialog->setWindowTitle(u"Home Location"_s);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto *setup = new SetupView(SetupView::Mode::Sheet, m_store, m_geocoder, m_location, dialog);
    auto *layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(setup);
    connect(setup, &SetupView::finished, dialog, &QDialog::accept);
    m_homeDialog = dialog;
    dialog->open();
}

void MainWindow::updateTitle()
{
    if (!m_store->home()) {
        setWindowTitle(u"Skyvelle"_s);
        return;
    }
    setWindowTitle(u"Skyvelle — "_s
        + statusSummary(m_store->aircraft().size(), m_store->radiusNM(), m_store->isPaused(),
            m_store->lastUpdated()));
}

void MainWindow::updatePauseAction()
{
    const bool paused = m_store->isPaused();
    m_pauseAction->setText(paused ? u"Resume"_s : u"Pause"_s);
    m_pauseAction->setIcon(Symbols::icon(paused ? u"play.fill"_s : u"pause.fill"_s));
    m_pauseAction->setToolTip(paused ? u"Resume live updates"_s : u"Pause live updates"_s);
}

void MainWindow::updateRadius()
{
    const double radius = m_store->radiusNM();
    m_radiusButton->setText(radiusLabel(radius));
    for (QAction *choice : m_radiusGroup->actions())
        choice->setChecked(choice->data().toInt() == radius);
}

void MainWindow::updateToolBarVisibility()
{
    // The first-run setup fills the window by itself; the toolbar belongs to the live view.
    m_toolBar->setVisible(!m_content->isShowingSetup());
}
