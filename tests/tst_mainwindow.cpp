// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftfilter.h"
#include "appearance.h"
#include "flightstore.h"
#include "mainwindow.h"
#include "map/mercator.h"
#include "map/radarmapview.h"
#include "preferences.h"
#include "symbols.h"
#include "testserver.h"
#include "views/aircraftdetailcard.h"
#include "views/aircraftlistview.h"
#include "views/contentview.h"
#include "views/setupview.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const HomeLocation portland { 45.5, -122.6, u"Portland"_s };
const QString primaryPrefix = u"/v2/point/"_s;
const QLocale usEnglish(QLocale::English, QLocale::UnitedStates);

TestServer::Reply twoAircraft()
{
    TestServer::Reply reply;
    reply.body = R"({"ac":[{"hex":"a1","lat":45.6,"lon":-122.5,"dst":2},
                           {"hex":"b2","lat":45.7,"lon":-122.5,"dst":3}]})";
    return reply;
}

// Fraction of the pixels that are clearly painted and darker (or lighter) than mid-grey.
double shareOfPixels(const QImage &image, bool dark)
{
    int painted = 0;
    int matching = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            ++painted;
            if ((c.lightness() < 128) == dark)
                ++matching;
        }
    }
    return painted == 0 ? 0.0 : double(matching) / painted;
}

// A named pipe that notes whether anything opened it for reading. Opening a pipe blocks until
// the other end opens too, so an <img src="file://…"> pointed at it would hang the window.
class PipeTrap {
public:
    explicit PipeTrap(const QString &path)
        : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        if (m_made) {
            m_writer = std::thread([this] {
                const int fd = ::open(m_path.constData(), O_WRONLY | O_CLOEXEC);
                if (!m_releasing)
                    m_opened = true;
                if (fd >= 0)
                    ::close(fd);
            });
        }
    }
    ~PipeTrap() { release(); }

    bool isSet() const { return m_made; }
    // Whether anyone but this trap opened the pipe; frees the waiting writer.
    bool release()
    {
        if (m_writer.joinable()) {
            m_releasing = true;
            const int fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            m_writer.join();
            if (fd >= 0)
                ::close(fd);
        }
        return m_opened;
    }

private:
    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_releasing = false;
    std::atomic<bool> m_opened = false;
    std::thread m_writer;
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<Preferences> m_preferences;
    QNetworkAccessManager m_network;
    QPalette m_startPalette;

    std::unique_ptr<FlightStore> makeStore()
    {
        QVariantMap overrides;
        overrides.insert(u"feedPrimary"_s, m_server->baseUrl().toString());
        overrides.insert(u"feedSecondary"_s, m_server->baseUrl().toString());
        overrides.insert(u"feedPrimaryName"_s, u"Primary"_s);
        return std::make_unique<FlightStore>(m_preferences.get(), &m_network,
            Services::withOverrides(overrides), m_dir->filePath(u"data"_s));
    }

    std::unique_ptr<MainWindow> makeWindow(FlightStore *store)
    {
        auto window = std::make_unique<MainWindow>(store, m_preferences.get(), nullptr, nullptr);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return window;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setStyle(u"Fusion"_s);
        m_startPalette = QApplication::palette();
        QLocale::setDefault(usEnglish);
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<TestServer>();
        m_server->setPrefixReply(primaryPrefix, twoAircraft());
        m_preferences = std::make_unique<Preferences>(m_dir->filePath(u"Skyvelle.conf"_s));
    }

    void cleanup()
    {
        QApplication::setPalette(m_startPalette);
        m_preferences.reset();
        m_server.reset();
        m_dir.reset();
    }

    // ---- Symbols

    void everySymbolHasAGlyph()
    {
        QVERIFY(!Symbols::fontFamily().isEmpty());
        QFont font(Symbols::fontFamily());
        font.setStyleStrategy(QFont::NoFontMerging);
        const QFontMetrics metrics(font);
        const QStringList names = Symbols::names();
        QVERIFY(names.size() > 40);
        for (const QString &name : names)
            QVERIFY2(metrics.inFontUcs4(Symbols::codePoint(name)), qPrintable(name));
    }

    void symbolsTheViewsAskFor()
    {
        QStringList used { u"pause.fill"_s, u"play.fill"_s, u"headphones"_s,
            u"headphones.circle.fill"_s, u"chart.bar"_s, u"questionmark.circle"_s, u"house"_s,
            u"house.fill"_s, u"house.circle.fill"_s, u"airplane"_s, u"airplane.circle.fill"_s,
            u"wifi.exclamationmark"_s, u"pause.circle"_s, u"line.3.horizontal.decrease.circle"_s,
            u"line.3.horizontal.decrease.circle.fill"_s, u"checkmark"_s, u"checkmark.circle.fill"_s,
            u"arrow.down.circle.fill"_s, u"location.fill"_s, u"magnifyingglass"_s, u"scope"_s,
            u"square.3.layers.3d"_s, u"xmark.circle.fill"_s, u"sparkles"_s, u"gearshape"_s,
            u"map"_s, u"bell.badge"_s, u"accessibility"_s, u"hand.raised"_s, u"stop.circle.fill"_s,
            u"play.circle"_s, u"trash"_s, u"speaker.fill"_s, u"speaker.wave.3.fill"_s,
            u"waveform"_s, u"exclamationmark"_s, u"star.fill"_s };
        for (const AircraftFilter filter : AircraftFilters::all())
            used << AircraftFilters::symbolName(filter);
        for (const QString &name : used)
            QVERIFY2(Symbols::isKnown(name), qPrintable(name));
    }

    void unknownSymbolWarnsOnceAndStillDraws()
    {
        QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        QTest::ignoreMessage(QtWarningMsg, "Symbols: no glyph for \"nonsense.fill\"");
        Symbols::paint(&painter, u"nonsense.fill"_s, image.rect(), Qt::black);
        QTest::failOnWarning(QRegularExpression(u"no glyph"_s));
        Symbols::paint(&painter, u"nonsense.fill"_s, image.rect(), Qt::black);
        painter.end();
        QVERIFY(shareOfPixels(image, true) > 0.9);
        QVERIFY(Symbols::codePoint(u"nonsense.fill"_s) != Symbols::codePoint(u"house"_s));
    }

    void iconsWithoutColourFollowThePalette()
    {
        const QIcon icon = Symbols::icon(u"house"_s);
        QApplication::setPalette(Appearance::lightPalette());
        QVERIFY(shareOfPixels(icon.pixmap(32).toImage(), true) > 0.9);
        QApplication::setPalette(Appearance::darkPalette());
        QVERIFY(shareOfPixels(icon.pixmap(32).toImage(), false) > 0.9);
        // A fixed colour stays.
        const QImage red = Symbols::icon(u"house"_s, Qt::red).pixmap(32).toImage();
        bool sawRed = false;
        for (int y = 0; y < red.height() && !sawRed; ++y) {
            for (int x = 0; x < red.width() && !sawRed; ++x)
                sawRed = red.pixelColor(x, y) == QColor(Qt::red);
        }
        QVERIFY(sawRed);
    }

    void discSymbolsCutTheGlyphOut()
    {
        const QColor blue(0, 122, 255);
        const QImage image = Symbols::pixmap(u"house.circle.fill"_s, 48, blue).toImage();
        const int r = qRound(image.devicePixelRatio());
        QCOMPARE(image.pixelColor(5 * r, 24 * r), blue); // the disc, left of the glyph
        QCOMPARE(image.pixelColor(1 * r, 1 * r).alpha(), 0); // outside the disc
        // A blue disc carries a white glyph in its middle.
        int white = 0;
        for (int y = 14 * r; y < 34 * r; ++y) {
            for (int x = 14 * r; x < 34 * r; ++x)
                white += image.pixelColor(x, y).lightness() > 230 ? 1 : 0;
        }
        QVERIFY2(white > 80 * r * r, qPrintable(QString::number(white)));
    }

    void airplanePathPointsEast()
    {
        const QPainterPath path = Symbols::airplanePath();
        const QRectF box = path.boundingRect();
        QVERIFY(QRectF(-0.5, -0.5, 1.0, 1.0).adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(box));
        QVERIFY(box.width() > 0.95 && box.height() > 0.8);
        QVERIFY(path.contains(QPointF(0.45, 0.0))); // the nose
        QVERIFY(!path.contains(QPointF(0.45, 0.1)));
        // The wings sweep back from the middle: their tips are behind it.
        QVERIFY(path.contains(QPointF(-0.15, 0.44)) && path.contains(QPointF(-0.15, -0.44)));
        QVERIFY(!path.contains(QPointF(0.15, 0.44)));
    }

    // ---- Appearance

    void appearanceFollowsTheChoice_data()
    {
        QTest::addColumn<QString>("choice"); // as the settings file holds it
        QTest::addColumn<int>("desktop");
        QTest::addColumn<QString>("expected"); // light, dark or platform
        using D = Appearance::DesktopScheme;
        QTest::newRow("light") << u"light"_s << int(D::preferDark) << u"light"_s;
        QTest::newRow("dark") << u"dark"_s << int(D::preferLight) << u"dark"_s;
        QTest::newRow("auto, no preference") << u"auto"_s << int(D::noPreference) << u"platform"_s;
        QTest::newRow("auto, desktop dark") << u"auto"_s << int(D::preferDark) << u"dark"_s;
        QTest::newRow("auto, desktop light") << u"auto"_s << int(D::preferLight) << u"light"_s;
        QTest::newRow("unknown value follows the desktop")
            << u"sepia"_s << int(D::preferDark) << u"dark"_s;
    }

    void appearanceFollowsTheChoice()
    {
        QFETCH(QString, choice);
        QFETCH(int, desktop);
        QFETCH(QString, expected);
        const QPalette platform = QApplication::palette();
        QSettings(m_dir->filePath(u"Skyvelle.conf"_s), QSettings::IniFormat)
            .setValue(u"appearanceChoice"_s, choice);
        m_preferences = std::make_unique<Preferences>(m_dir->filePath(u"Skyvelle.conf"_s));
        Appearance appearance(m_preferences.get());
        QSignalSpy changed(&appearance, &Appearance::changed);
        QWidget widget;
        widget.show();

        appearance.setDesktopScheme(Appearance::DesktopScheme(desktop));
        const QPalette want = expected == "light"_L1 ? Appearance::lightPalette()
            : expected == "dark"_L1                  ? Appearance::darkPalette()
                                                     : platform;
        QCOMPARE(QApplication::palette().color(QPalette::Window), want.color(QPalette::Window));
        // Open widgets take the new palette at once.
        QTRY_COMPARE(widget.palette().color(QPalette::Window), want.color(QPalette::Window));
        QCOMPARE(appearance.isDark(), expected == "dark"_L1);

        // And over to the other one: a live switch, no restart.
        const bool toLight = expected == "dark"_L1;
        const qsizetype changes = changed.size();
        m_preferences->setAppearanceChoice(
            toLight ? Preferences::AppearanceChoice::Light : Preferences::AppearanceChoice::Dark);
        QCOMPARE(changed.size(), changes + 1);
        const QPalette other = toLight ? Appearance::lightPalette() : Appearance::darkPalette();
        QTRY_COMPARE(widget.palette().color(QPalette::Window), other.color(QPalette::Window));
        QCOMPARE(appearance.isDark(), !toLight);
    }

    void darkPaletteIsReadable()
    {
        const QPalette dark = Appearance::darkPalette();
        for (const auto &[background, text] :
            { std::pair { QPalette::Window, QPalette::WindowText },
                std::pair { QPalette::Base, QPalette::Text },
                std::pair { QPalette::Button, QPalette::ButtonText },
                std::pair { QPalette::Highlight, QPalette::HighlightedText } }) {
            QVERIFY(dark.color(text).lightness() - dark.color(background).lightness() > 100);
        }
    }

    // ---- The window

    void sizes()
    {
        auto store = makeStore();
        MainWindow window(store.get(), m_preferences.get(), nullptr, nullptr);
        QCOMPARE(window.size(), QSize(1180, 740));
        QCOMPARE(window.minimumSize(), QSize(900, 560));
    }

    void setupUntilThereIsAHome()
    {
        auto store = makeStore();
        auto window = makeWindow(store.get());
        ContentView *content = window->contentView();
        QVERIFY(content->isShowingSetup());
        QVERIFY(content->setupView());
        QCOMPARE(content->setupView()->mode(), SetupView::Mode::FirstRun);
        QVERIFY(content->setupView()->isVisible());
        QVERIFY(!content->aircraftListView()->isVisible());
        QVERIFY(!window->toolBar()->isVisible());
        QCOMPARE(window->windowTitle(), u"Skyvelle"_s);

        QSignalSpy switched(content, &ContentView::showingSetupChanged);
        store->setHome(portland);
        QCOMPARE(switched.size(), 1);
        QVERIFY(!content->isShowingSetup());
        QVERIFY(content->aircraftListView()->isVisible());
        QVERIFY(window->toolBar()->isVisible());
        QTRY_COMPARE(store->aircraft().size(), 2);
        QTRY_COMPARE(content->aircraftListView()->listView()->model()->rowCount(), 2);

        // Forgetting the home brings a fresh setup back.
        store->setHome(std::nullopt);
        QVERIFY(content->isShowingSetup());
        QVERIFY(content->setupView()->isVisible());
        QVERIFY(!window->toolBar()->isVisible());
    }

    void sidebarAndDetail()
    {
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        auto window = makeWindow(store.get());
        QSplitter *split = window->contentView()->splitter();
        QCOMPARE(split->count(), 2);
        QCOMPARE(split->sizes().first(), 310);
        QCOMPARE(window->contentView()->aircraftListView()->minimumWidth(), 270);
        QVERIFY(!split->isCollapsible(0) && !split->isCollapsible(1));

        // The sidebar keeps its width when the window grows; the detail takes the rest.
        window->resize(1400, 800);
        QTRY_COMPARE(split->sizes().first(), 310);

        QPointer<QWidget> old = window->contentView()->detailWidget();
        auto *map = new QWidget;
        window->contentView()->setDetailWidget(map);
        QCOMPARE(window->contentView()->detailWidget(), map);
        QVERIFY(old.isNull());
        QCOMPARE(split->sizes().first(), 310);
        QVERIFY(!split->isCollapsible(1));
    }

    void hostileFeedTextStaysPlain()
    {
        PipeTrap trap(m_dir->filePath(u"trap"_s));
        QVERIFY(trap.isSet());
        const QString image = u"<img src=\"file://%1\">"_s.arg(m_dir->filePath(u"trap"_s));
        const QJsonObject record {
            { u"hex"_s, u"a1"_s },
            { u"lat"_s, 45.6 },
            { u"lon"_s, -122.5 },
            { u"dst"_s, 2 },
            { u"squawk"_s, u"7700"_s },
            { u"flight"_s, u"<b>BOLD</b>"_s + image },
            { u"r"_s, u"<a href=\"https://example.org\">link</a>"_s },
            { u"t"_s, image },
            { u"desc"_s, image },
            { u"ownOp"_s, u"<i>op</i>"_s + image },
        };
        TestServer::Reply hostile;
        hostile.body = QJsonDocument(QJsonObject { { u"ac"_s, QJsonArray { record } } }).toJson();
        m_server->setPrefixReply(primaryPrefix, hostile);
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        QVariantMap overrides;
        for (const char *key : { "feedPrimary", "feedSecondary", "routes", "photos" })
            overrides.insert(QString::fromLatin1(key), m_server->baseUrl().toString());
        FlightStore store(m_preferences.get(), &m_network, Services::withOverrides(overrides),
            m_dir->filePath(u"data"_s));
        auto window = makeWindow(&store);
        auto *map = new RadarMapView(&store, m_preferences.get(), nullptr);
        map->setCornerWidget(new AircraftDetailCard(&store, m_preferences.get(), &m_network));
        window->contentView()->setDetailWidget(map);
        QTRY_COMPARE(store.aircraft().size(), 1);
        store.setSelectedHex(u"a1"_s);
        QTest::qWait(200);

        // The map's tooltip over the marker.
        const Mercator::Viewport viewport(map->rect(), map->camera());
        const QPoint marker = viewport.toScreen({ 45.6, -122.5 }).toPoint();
        QHelpEvent help(QEvent::ToolTip, marker, map->mapToGlobal(marker));
        QApplication::sendEvent(map, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        const QString tip = QToolTip::text();
        QVERIFY2(tip.contains(u"&lt;b&gt;BOLD"_s), qPrintable(tip));
        QVERIFY(!tip.contains(u"<b>"_s));

        // Every label shows what it was given as text; every tooltip is escaped.
        const auto hasTag = [](const QString &text) {
            for (const char *tag : { "<b>", "<a ", "<img", "<i>" }) {
                if (text.contains(QLatin1StringView(tag)))
                    return true;
            }
            return false;
        };
        int carrying = 0;
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            if (auto *label = qobject_cast<QLabel *>(widget); label && hasTag(label->text())) {
                ++carrying;
                QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->text()));
            }
            QVERIFY2(!hasTag(widget->toolTip()), qPrintable(widget->toolTip()));
        }
        QVERIFY(carrying >= 2);
        QToolTip::hideText();
        QVERIFY2(!trap.release(), "a view opened the local file named in the feed's text");
    }

    void statusSummary_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("radius");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<QDateTime>("updated");
        QTest::addColumn<QString>("summary");
        const QDateTime afternoon(QDate(2026, 5, 1), QTime(15, 42, 7));
        QTest::newRow("updated") << 12 << 25.0 << false << afternoon
                                 << u"12 aircraft within 25 nm · updated 3:42:07 PM"_s;
        QTest::newRow("paused wins over the time")
            << 12 << 25.0 << true << afternoon << u"12 aircraft within 25 nm · paused"_s;
        QTest::newRow("no update yet")
            << 0 << 100.0 << false << QDateTime() << u"0 aircraft within 100 nm"_s;
        // A hand-edited radius beyond any integer prints short instead of overflowing.
        QTest::newRow("radius 1e308")
            << 0 << 1e308 << false << QDateTime() << u"0 aircraft within 1e+308 nm"_s;
        QTest::newRow("morning") << 1 << 5.0 << false
                                 << QDateTime(QDate(2026, 5, 1), QTime(9, 5, 0))
                                 << u"1 aircraft within 5 nm · updated 9:05:00 AM"_s;
    }

    void statusSummary()
    {
        QFETCH(int, count);
        QFETCH(double, radius);
        QFETCH(bool, paused);
        QFETCH(QDateTime, updated);
        QString summary = MainWindow::statusSummary(count, radius, paused, updated, usEnglish);
        // Newer locale data puts a narrow no-break space before AM/PM.
        summary.replace(QChar(0x202F), u' ');
        QTEST(summary, "summary");
    }

    void standardTimeLeavesOutTheZone_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("time");
        QTest::newRow("en_US") << usEnglish << u"3:42:07 PM"_s;
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << u"15:42:07"_s;
        QTest::newRow("C") << QLocale::c() << u"15:42:07"_s;
    }

    void standardTimeLeavesOutTheZone()
    {
        QFETCH(QLocale, locale);
        QString time = MainWindow::standardTime(QTime(15, 42, 7), locale);
        time.replace(QChar(0x202F), u' ');
        QTEST(time, "time");
    }

    void titleFollowsTheStore()
    {
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        store->setClock([] { return QDateTime(QDate(2026, 5, 1), QTime(15, 42, 7)); });
        auto window = makeWindow(store.get());
        store->fetchNow();
        QTRY_COMPARE(store->aircraft().size(), 2);
        QString title = window->windowTitle();
        title.replace(QChar(0x202F), u' ');
        QCOMPARE(title, u"Skyvelle — 2 aircraft within 25 nm · updated 3:42:07 PM"_s);

        window->pauseAction()->trigger();
        QCOMPARE(window->windowTitle(), u"Skyvelle — 2 aircraft within 25 nm · paused"_s);
        store->setPaused(false);
        store->setRadiusNM(50);
        QVERIFY(
            window->windowTitle().startsWith(u"Skyvelle — 2 aircraft within 50 nm · updated "_s));
    }

    void viewMenuTogglesPreferences_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<bool>("initially");
        QTest::newRow("trails") << u"showTrails"_s << u"Show Flight Trails"_s
                                << QKeySequence(u"Ctrl+Shift+T"_s) << true;
        QTest::newRow("altitude colours") << u"colorByAltitude"_s << u"Color Aircraft by Altitude"_s
                                          << QKeySequence(u"Ctrl+Shift+A"_s) << false;
    }

    void viewMenuTogglesPreferences()
    {
        QFETCH(QString, action);
        QFETCH(bool, initially);
        auto store = makeStore();
        auto window = makeWindow(store.get());
        QAction *toggle = window->viewMenu()->findChild<QAction *>(action);
        QVERIFY(toggle);
        QVERIFY(window->viewMenu()->actions().contains(toggle));
        QTEST(toggle->text(), "text");
        QTEST(toggle->shortcut(), "shortcut");
        QVERIFY(toggle->isCheckable());
        const auto stored = [&] {
            return action == "showTrails"_L1 ? m_preferences->showTrails()
                                             : m_preferences->colorByAltitude();
        };
        QCOMPARE(toggle->isChecked(), initially);

        toggle->trigger();
        QCOMPARE(stored(), !initially);
        // Written to the file, where every other reader finds it.
        Preferences reread(m_dir->filePath(u"Skyvelle.conf"_s));
        m_preferences->sync();
        QCOMPARE(
            action == "showTrails"_L1 ? reread.showTrails() : reread.colorByAltitude(), !initially);

        // Changed elsewhere (the Settings window): the menu follows.
        if (action == "showTrails"_L1)
            m_preferences->setShowTrails(initially);
        else
            m_preferences->setColorByAltitude(initially);
        QCOMPARE(toggle->isChecked(), initially);
    }

    void menusHoldTheApplicationCommands()
    {
        auto store = makeStore();
        MainWindow window(store.get(), m_preferences.get(), nullptr, nullptr);
        QStringList application;
        for (const QAction *action : window.applicationMenu()->actions())
            if (!action->isSeparator())
                application << action->text() + u' ' + action->shortcut().toString();
        QCOMPARE(application,
            (QStringList { u"&About Skyvelle "_s, u"Check for &Updates… "_s, u"S&ettings… Ctrl+,"_s,
                u"&Find Aircraft Ctrl+F"_s, u"&Quit Ctrl+Q"_s }));
        // Off until the application has a window to open for them.
        QVERIFY(!window.checkForUpdatesAction()->isEnabled());
        QVERIFY(!window.settingsAction()->isEnabled());
        QCOMPARE(window.helpMenu()->actions(),
            (QList { window.helpAction(), window.websiteAction(), window.releaseHistoryAction() }));
        QCOMPARE(window.helpAction()->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void toolbarOrderAndAccess()
    {
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        auto window = makeWindow(store.get());
        QToolBar *bar = window->toolBar();

        // Other panels add their buttons before Home Location.
        auto *logbook = new QAction(Symbols::icon(u"chart.bar"_s), u"Logbook"_s, bar);
        bar->insertAction(window->homeAction(), logbook);
        QCoreApplication::processEvents();

        QStringList order;
        QList<QWidget *> buttons;
        for (QAction *action : bar->actions()) {
            QWidget *button = bar->widgetForAction(action);
            QVERIFY(button);
            buttons << button;
            order << (button == window->radiusButton() ? u"radius"_s : action->text());
        }
        QCOMPARE(
            order, (QStringList { u"radius"_s, u"Pause"_s, u"Logbook"_s, u"Home Location"_s }));
        for (QWidget *button : std::as_const(buttons)) {
            QVERIFY2(button->focusPolicy() & Qt::TabFocus, qPrintable(button->objectName()));
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
            QVERIFY(accessible);
            QVERIFY(!accessible->text(QAccessible::Name).isEmpty());
            QVERIFY(!button->toolTip().isEmpty() || button == bar->widgetForAction(logbook));
        }
        QCOMPARE(
            QAccessible::queryAccessibleInterface(window->radiusButton())->text(QAccessible::Name),
            u"Radius"_s);
        QCOMPARE(window->radiusButton()->toolTip(), u"Search radius around home"_s);
        QCOMPARE(window->homeAction()->toolTip(), u"Change home location"_s);

        // Tab walks from one toolbar button to the next.
        buttons.first()->setFocus();
        QTRY_VERIFY(buttons.first()->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), buttons.at(1));
    }

    // The keys a user drives the window with, on the window as the application furnishes it.
    void keyboard()
    {
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        m_preferences->setReduceMotion(true);
        auto store = makeStore();
        auto window = makeWindow(store.get());
        auto *map = new RadarMapView(store.get(), m_preferences.get(), nullptr);
        window->setMapView(map);
        // Added after the toolbar is built, as the application does.
        auto *logbook = new QAction(u"Logbook"_s, window.get());
        window->toolBar()->insertAction(window->homeAction(), logbook);
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTRY_COMPARE(store->aircraft().size(), 2);

        // Tab order: sidebar top down, the toolbar in its order, the map, then its controls.
        AircraftListView *list = window->contentView()->aircraftListView();
        QList<QWidget *> chain;
        QWidget *widget = list->searchField();
        do {
            if (widget->isVisibleTo(window.get()) && widget->isEnabled()
                && (widget->focusPolicy() & Qt::TabFocus) && !chain.contains(widget))
                chain << widget;
            widget = widget->nextInFocusChain();
        } while (widget != list->searchField());
        QToolBar *bar = window->toolBar();
        const QList<QWidget *> expected { list->searchField(), list->filterButton(),
            list->listView(), window->radiusButton(), bar->widgetForAction(window->pauseAction()),
            bar->widgetForAction(logbook), bar->widgetForAction(window->homeAction()), map };
        QCOMPARE(chain.mid(0, expected.size()), expected);
        QVERIFY(chain.size() > expected.size());
        for (QWidget *control : chain.mid(expected.size()))
            QVERIFY2(map->isAncestorOf(control), control->metaObject()->className());

        // Ctrl+F from anywhere goes to the search field.
        map->setFocus();
        QTest::keyClick(map, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(list->searchField()->hasFocus());

        // Enter on a row brings the map back to that aircraft after the user panned away.
        store->setSelectedHex(u"a1"_s);
        map->setCamera({ { 40.0, -100.0 }, map->cameraDistance() });
        list->listView()->setFocus();
        QTest::keyClick(list->listView(), Qt::Key_Return);
        QCOMPARE(map->targetCamera().centre, (LatLon { 45.6, -122.5 }));
        QCOMPARE(store->selectedHex(), u"a1"_s);

        // Escape closes the card, from the list and from the map.
        QTest::keyClick(list->listView(), Qt::Key_Escape);
        QVERIFY(store->selectedHex().isEmpty());
        store->setSelectedHex(u"b2"_s);
        map->setFocus();
        QTest::keyClick(map, Qt::Key_Escape);
        QVERIFY(store->selectedHex().isEmpty());

        // The map marks keyboard focus with a frame in the accent colour, and only then.
        const QColor accent = map->palette().color(QPalette::Highlight);
        const auto edge = [&] {
            const QImage image = map->grab().toImage();
            return image.pixelColor(QPoint(1, map->height() / 2) * image.devicePixelRatio());
        };
        QCOMPARE(edge(), accent);
        list->listView()->setFocus();
        QVERIFY(edge() != accent);
    }

    void radiusMenu()
    {
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        auto window = makeWindow(store.get());
        QToolButton *button = window->radiusButton();
        QCOMPARE(button->text(), u"25 nm"_s);

        QTest::mouseClick(button, Qt::LeftButton);
        QMenu *menu = window->radiusMenu();
        QTRY_VERIFY(menu->isVisible());
        QStringList items;
        QString checked;
        for (QAction *action : menu->actions()) {
            items << action->text();
            if (action->isChecked())
                checked = action->text();
        }
        QCOMPARE(items,
            (QStringList {
                u"5 nm"_s, u"10 nm"_s, u"25 nm"_s, u"50 nm"_s, u"100 nm"_s, u"250 nm"_s }));
        QCOMPARE(checked, u"25 nm"_s);
        // The keyboard starts on the value in use.
        QCOMPARE(menu->activeAction()->text(), u"25 nm"_s);

        m_server->clearRequests();
        menu->actions().at(4)->trigger();
        menu->hide();
        QCOMPARE(store->radiusNM(), 100.0);
        QCOMPARE(m_preferences->radiusNM(), 100.0);
        QCOMPARE(button->text(), u"100 nm"_s);
        QVERIFY(menu->actions().at(4)->isChecked() && !menu->actions().at(2)->isChecked());
        QTRY_VERIFY(m_server->requestCount(u"/v2/point/45.50000/-122.60000/100"_s) >= 1);

        // The picker keeps its width whatever it shows, so the toolbar does not shift.
        const int width = button->width();
        const int pauseLeft = window->toolBar()->widgetForAction(window->pauseAction())->x();
        for (const double radius : { 5.0, 250.0 }) {
            store->setRadiusNM(radius);
            QCoreApplication::processEvents();
            QCOMPARE(button->width(), width);
            QCOMPARE(window->toolBar()->widgetForAction(window->pauseAction())->x(), pauseLeft);
            QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) < width);
        }
    }

    void pauseButton()
    {
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        auto window = makeWindow(store.get());
        QTRY_COMPARE(store->aircraft().size(), 2);
        QAction *pause = window->pauseAction();
        QCOMPARE(pause->text(), u"Pause"_s);
        QCOMPARE(pause->toolTip(), u"Pause live updates"_s);
        QVERIFY(!pause->icon().isNull());

        QTest::mouseClick(window->toolBar()->widgetForAction(pause), Qt::LeftButton);
        QVERIFY(store->isPaused());
        QCOMPARE(pause->text(), u"Resume"_s);
        QCOMPARE(pause->toolTip(), u"Resume live updates"_s);
        // The last list stays on screen while paused.
        QCOMPARE(window->contentView()->aircraftListView()->listView()->model()->rowCount(), 2);

        m_server->clearRequests();
        pause->trigger();
        QVERIFY(!store->isPaused());
        QCOMPARE(pause->text(), u"Pause"_s);
        QTRY_COMPARE(m_server->requestCount(primaryPrefix), 1); // resuming polls at once
    }

    void homeButtonOpensTheSheet()
    {
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        auto store = makeStore();
        auto window = makeWindow(store.get());
        QCOMPARE(window->homeAction()->text(), u"Home Location"_s);
        window->homeAction()->trigger();
        QPointer<QDialog> dialog = window->homeDialog();
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        auto *setup = dialog->findChild<SetupView *>();
        QVERIFY(setup);
        QCOMPARE(setup->mode(), SetupView::Mode::Sheet);

        // A second click does not stack another dialog.
        window->homeAction()->trigger();
        QCOMPARE(window->findChildren<QDialog *>().size(), 1);

        Q_EMIT setup->finished();
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(!window->contentView()->isShowingSetup());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
