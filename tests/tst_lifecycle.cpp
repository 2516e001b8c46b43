// SPDX-License-Identifier: GPL-3.0-or-later
#include "appdelegate.h"
#include "debuglog.h"
#include "flightstore.h"
#include "mainwindow.h"
#include "singleinstance.h"
#include "skyentry.h"
#include "skyvelleapp.h"
#include "trayicon.h"
#include "views/legendpopover.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Short enough for a quick test, in the same proportions as the real delays.
const AppDelegate::Timing quick { 60, 40, 60, 150 };

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

int modeOf(const QString &path)
{
    struct stat info { };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

// A socket file with nobody behind it, as a process that was killed leaves it.
void leaveStaleSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0);
    QVERIFY(::listen(fd, 1) == 0);
    ::close(fd);
}

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
public:
    TestLifecycle(SkyvelleApp *app, const QString &dir)
        : m_app(app)
        , m_dir(dir)
    {
    }

private:
    // A delegate of its own per test, logging to a fresh file, with the real windows of the
    // application to open and the fallback a plain titled window.
    std::unique_ptr<AppDelegate> makeDelegate(
        bool canOpen = true, const AppDelegate::Timing &timing = quick)
    {
        m_log = u"%1/debug-%2.log"_s.arg(m_dir).arg(++m_count);
        m_shot = u"%1/shot-%2.png"_s.arg(m_dir).arg(m_count);
        m_widgetShots = u"%1/widgets-%2"_s.arg(m_dir).arg(m_count);
        QDir().mkpath(m_widgetShots);
        auto delegate = std::make_unique<AppDelegate>(m_app->flightStore(), DebugLog(m_log),
            AppDelegate::Shots { m_shot, m_widgetShots }, timing);
        if (canOpen)
            delegate->setOpenMainWindow([this] { m_app->showMainWindow(); });
        delegate->setFallbackFactory([] { return new QWidget; });
        return delegate;
    }

    QStringList log() const { return readLines(m_log); }
    bool logged(const QString &message) const
    {
        return log()
                   .filter(QRegularExpression(
                       u"^\\S+ \\S+ \\+0000 "_s + QRegularExpression::escape(message) + u'$'))
                   .size()
            > 0;
    }

    // Closes every window and lets the closed ones go.
    void closeAll()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isWindow())
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTRY_VERIFY(!m_app->mainWindow());
        m_app->flightStore()->setSelectedHex(QString());
    }

    // The titles of the windows on screen, sorted.
    static QStringList visibleTitles()
    {
        QStringList titles;
        for (const QWidget *w : QApplication::topLevelWidgets())
            if (w->isWindow() && w->isVisible() && w->windowType() == Qt::Window)
                titles << w->windowTitle();
        titles.sort();
        return titles;
    }

    std::unique_ptr<QWidget> titledWindow(const QString &title)
    {
        auto window = std::make_unique<QWidget>();
        window->setWindowTitle(title);
        window->show();
        return window;
    }

private Q_SLOTS:
    void cleanup() { closeAll(); }

    void logLinesHaveTheirFormat()
    {
        const QString path = m_dir + u"/format.log"_s;
        DebugLog log(path);
        log.write(u"first"_s);
        log.write(u"GetURL: a\rb\u001b[31mc\nnext"_s);
        const QStringList lines = readLines(path);
        QCOMPARE(lines.size(), 2);
        QVERIFY(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\+0000 first$"_s)
                    .match(lines[0])
                    .hasMatch());
        // A carriage return or an escape sequence from a link cannot rewrite what a reader sees.
        QVERIFY2(lines[1].endsWith(u"GetURL: a\\x0db\\x1b[31mc\\x0anext"_s), qPrintable(lines[1]));
        log.write(QStringList { u"windows before:"_s, u"  [0] 'Logbook'"_s });
        const QStringList list = readLines(path).mid(2);
        QCOMPARE(list.size(), 2);
        QVERIFY(list[0].endsWith(u" +0000 windows before:"_s));
        QCOMPARE(list[1], u"  [0] 'Logbook'"_s);
        QCOMPARE(modeOf(path), 0600);
    }

    void logRefusesWhatOthersPlanted()
    {
        // A link to a file the user can write, as another user could leave in /tmp.
        const QString target = m_dir + u"/victim"_s;
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("precious");
        victim.close();
        const QString link = m_dir + u"/linked.log"_s;
        QVERIFY(QFile::link(target, link));
        DebugLog(link).write(u"hello"_s);
        DebugLog(link).write(u"hello"_s);
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), "precious"_ba);

        // A FIFO would hang a plain open(); it is refused at once.
        const QString fifo = m_dir + u"/fifo.log"_s;
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        DebugLog(fifo).write(u"hello"_s);
        struct stat info { };
        QVERIFY(::lstat(QFile::encodeName(fifo).constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    }

    void logRotatesOnceItIsLarge()
    {
        const QString path = m_dir + u"/rotating.log"_s;
        DebugLog log(path);
        const QString chunk(1000, u'x');
        while (QFileInfo(path).size() <= DebugLog::rotateBytes)
            log.write(chunk);
        log.write(u"after"_s);
        QVERIFY(QFileInfo(path + u".1"_s).size() > DebugLog::rotateBytes);
        QCOMPARE(readLines(path).size(), 1);
        QVERIFY(readLines(path).first().endsWith(u"after"_s));
        QVERIFY(!QFile::exists(path + u".2"_s));
    }

    void aircraftLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("opensWindow");
        QTest::newRow("hex") << u"skyvelle://aircraft/a1b2c3"_s << u"a1b2c3"_s << true;
        QTest::newRow("upper case kept") << u"skyvelle://aircraft/A1B2C3"_s << u"A1B2C3"_s << true;
        QTest::newRow("no path") << u"skyvelle://aircraft"_s << QString() << true;
        QTest::newRow("slash only") << u"skyvelle://aircraft/"_s << QString() << true;
        QTest::newRow("last component")
            << u"skyvelle://aircraft/x/a2c4e6/"_s << u"a2c4e6"_s << true;
        QTest::newRow("other host") << u"skyvelle://elsewhere/a1b2c3"_s << QString() << true;
        QTest::newRow("other scheme") << u"https://aircraft/a1b2c3"_s << QString() << false;
        QTest::newRow("not a link") << u"a1b2c3"_s << QString() << false;
        QTest::newRow("overlong hex")
            << u"skyvelle://aircraft/"_s + QString(10000, u'a') << QString() << true;
    }

    void aircraftLinks()
    {
        QFETCH(QString, link);
        QFETCH(QString, selected);
        QFETCH(bool, opensWindow);
        auto delegate = makeDelegate();
        delegate->handleGetURL(link);
        QVERIFY(logged(u"GetURL: "_s + link.left(200)) || link.size() > 200);
        if (opensWindow) {
            QTRY_VERIFY(m_app->mainWindow() && m_app->mainWindow()->isVisible());
            QVERIFY(logged(u"no main window — calling captured openWindow(id: main)"_s));
        } else {
            QTest::qWait(quick.activationCheckMs + quick.postReopenMs + 50);
            QVERIFY(!m_app->mainWindow());
        }
        QCOMPARE(m_app->flightStore()->selectedHex(), selected);
    }

    void notificationClickBringsTheAircraftForward()
    {
        auto delegate = makeDelegate();
        delegate->notificationClicked(u"a1b2c3"_s);
        QTRY_VERIFY(m_app->mainWindow() && m_app->mainWindow()->isVisible());
        QCOMPARE(m_app->flightStore()->selectedHex(), u"a1b2c3"_s);
        // A notification without an aircraft still gives the window back.
        QTRY_VERIFY(logged(u"windows post-reopen:"_s));
        closeAll();
        QTest::qWait(quick.restoreThrottleMs + 20);
        delegate->notificationClicked(QString());
        QTRY_VERIFY(m_app->mainWindow());
        QCOMPARE(m_app->flightStore()->selectedHex(), QString());
    }

    void restorationIsThrottledAndFallsBackOnce()
    {
        auto delegate = makeDelegate(false);
        delegate->didFinishLaunching();
        delegate->restoreMainWindow();
        delegate->restoreMainWindow();
        QVERIFY(logged(u"no main window and no captured openWindow action"_s));
        QVERIFY(logged(u"restore throttled (already in progress)"_s));
        QTRY_VERIFY(delegate->fallbackWindow() && delegate->fallbackWindow()->isVisible());
        QVERIFY(logged(u"openWindow produced nothing — using fallback window"_s));
        QCOMPARE(delegate->fallbackWindow()->windowTitle(), u"Skyvelle"_s);
        QCOMPARE(delegate->mainWindows(), QList<QWidget *> { delegate->fallbackWindow() });

        // Closed, it is kept and comes back; there is never a second one.
        QWidget *fallback = delegate->fallbackWindow();
        fallback->close();
        QTest::qWait(quick.restoreThrottleMs + 20);
        delegate->restoreMainWindow();
        QTRY_VERIFY(fallback->isVisible());
        QCOMPARE(delegate->fallbackWindow(), fallback);
        QCOMPARE(log().filter(u"using fallback window"_s).size(), 2);
    }

    void launchCheckIgnoresAboutHelpAndSettings()
    {
        m_app->showAbout();
        m_app->showHelp();
        auto settings = titledWindow(u"Settings — Alerts"_s);
        auto delegate = makeDelegate();
        QVERIFY(delegate->mainWindows().isEmpty());
        delegate->didFinishLaunching();
        QTRY_VERIFY(m_app->mainWindow());
        QVERIFY(logged(u"launched windowless — presenting a window"_s));
        QStringList expected { u"About Skyvelle"_s, u"Skyvelle Help"_s, u"Settings — Alerts"_s,
            m_app->mainWindow()->windowTitle() };
        expected.sort();
        QCOMPARE(visibleTitles(), expected);
    }

    void logbookCountsAsAMainWindow()
    {
        m_app->showLogbook();
        auto delegate = makeDelegate();
        delegate->didFinishLaunching();
        delegate->didBecomeActive();
        QTest::qWait(quick.launchCheckMs + quick.postReopenMs + 50);
        QVERIFY(!m_app->mainWindow());
        delegate->handleGetURL(u"skyvelle://aircraft/a1b2c3"_s);
        QVERIFY(logged(u"raising existing window 'Logbook'"_s));
        QVERIFY(!m_app->mainWindow());
        QCOMPARE(m_app->flightStore()->selectedHex(), u"a1b2c3"_s);
    }

    void closewindowLeavesHelpAndAboutOpen()
    {
        m_app->showMainWindow();
        m_app->showHelp();
        // Closing the window activates the next one, and the check that follows activation
        // must not come before the window is seen gone, however busy the machine.
        AppDelegate::Timing patient = quick;
        patient.activationCheckMs = 1000;
        auto delegate = makeDelegate(true, patient);
        delegate->didFinishLaunching();
        // Past the launch check, which would otherwise restore the window itself.
        QTest::qWait(quick.launchCheckMs + 50);
        QCoreApplication::processEvents();
        delegate->handleGetURL(u"skyvelle://closewindow"_s);
        QTRY_VERIFY(!m_app->mainWindow());
        QCOMPARE(visibleTitles(), QStringList { u"Skyvelle Help"_s });
        QVERIFY(logged(u"windows after closewindow:"_s));
        // The next activation brings one back.
        delegate->didBecomeActive();
        QTRY_VERIFY(m_app->mainWindow());
        QVERIFY(logged(u"became active with no window — restoring"_s));
    }

    void windowListHasItsFormat()
    {
        m_app->showMainWindow();
        m_app->mainWindow()->setWindowTitle(u"Skyvelle — 2 aircraft"_s);
        auto delegate = makeDelegate();
        delegate->logWindows(u"before"_s);
        const QStringList lines = log();
        const qsizetype header = lines.indexOf(QRegularExpression(u".* windows before:$"_s));
        QVERIFY(header >= 0);
        QCOMPARE(lines.value(header + 1),
            u"  [0] 'Skyvelle — 2 aircraft' id=mainWindow class=MainWindow visible=true mini=false"_s);
    }

    void shotIsPrivateAndNeverFollowsALink()
    {
        m_app->showMainWindow();
        QWidget *window = m_app->mainWindow();
        auto delegate = makeDelegate();
        delegate->handleGetURL(u"skyvelle://shot"_s);
        const QImage shot(m_shot);
        QVERIFY(!shot.isNull());
        const qreal ratio = window->devicePixelRatioF();
        QCOMPARE(shot.size(), window->size() * ratio);
        QCOMPARE(modeOf(m_shot), 0600);
        QVERIFY(
            logged(u"wrote shot via QWidget::grab %1x%2"_s.arg(shot.width()).arg(shot.height())));

        QFile::remove(m_shot);
        const QString target = m_dir + u"/elsewhere.png"_s;
        QFile other(target);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("kept");
        other.close();
        QVERIFY(QFile::link(target, m_shot));
        delegate->handleGetURL(u"skyvelle://shot"_s);
        QVERIFY(QFileInfo(m_shot).isSymLink());
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), "kept"_ba);
        QVERIFY(log().last().contains(u"not written: "_s + m_shot));
    }

    void widgetShotsAreTheThreeSampleWidgets()
    {
        auto delegate = makeDelegate();
        // A planted link for one of the three: that one is refused, the others are written.
        const QString target = m_dir + u"/precious"_s;
        QFile precious(target);
        QVERIFY(precious.open(QIODevice::WriteOnly));
        precious.close();
        QVERIFY(QFile::link(target, m_widgetShots + u"/widget-medium.png"_s));
        delegate->handleGetURL(u"skyvelle://widgetshots"_s);

        const QColor background = sampleEntry(u"#73FF99"_s).palette().background;
        for (const auto &[name, size] : { std::pair { u"widget-small.png"_s, QSize(340, 340) },
                 std::pair { u"widget-large.png"_s, QSize(728, 764) } }) {
            const QString path = m_widgetShots + u'/' + name;
            const QImage image(path);
            QCOMPARE(image.size(), size);
            QCOMPARE(modeOf(path), 0600);
            QVERIFY(logged(u"wrote "_s + name));
            // Transparent outside the rounded corner, the palette's background inside the edge.
            QCOMPARE(qAlpha(image.pixel(1, 1)), 0);
            QCOMPARE(image.pixelColor(6, size.height() / 2).rgb(), background.rgb());
        }
        QVERIFY(QFileInfo(m_widgetShots + u"/widget-medium.png"_s).isSymLink());
        QCOMPARE(QFileInfo(target).size(), 0);
        QVERIFY(!logged(u"wrote widget-medium.png"_s));
    }

    void hostileLinksStayInsideTheGrammar()
    {
        m_app->showMainWindow();
        auto delegate = makeDelegate();
        const QStringList hosts { u"aircraft"_s, u"AIRCRAFT"_s, u""_s, u"closewindow."_s,
            u"widgetshots"_s, u"%61ircraft"_s, u"127.0.0.1"_s, u"[::1]"_s, u"x@aircraft"_s,
            u"aircraft:99"_s, u"../../etc"_s };
        const QStringList schemes { u"skyvelle"_s, u"SKYVELLE"_s, u"file"_s, u"javascript"_s,
            u"skyvelle:"_s, u""_s };
        QRandomGenerator random(20261208);
        const auto noise = [&random](int size) {
            QString text;
            for (int i = 0; i < size; ++i)
                text += QChar(char16_t(random.bounded(1, 0x2100)));
            return text;
        };
        for (int i = 0; i < 1000; ++i) {
            QString link = schemes[random.bounded(schemes.size())] + u"://"_s
                + hosts[random.bounded(hosts.size())];
            switch (i % 6) {
            case 0:
                link += u'/' + noise(random.bounded(1, 40));
                break;
            case 1:
                link += u"/%zz%0"_s + noise(3);
                break;
            case 2:
                link += u"/"_s + QString(10000, u'f');
                break;
            case 3:
                link += u"/a1b2c3\r\n2026-12-08 00:00:00 +0000 forged"_s;
                break;
            case 4:
                link += u"/$(touch "_s + m_dir + u"/pwned);`id`"_s;
                break;
            default:
                link = noise(random.bounded(0, 300));
                break;
            }
            delegate->handleGetURL(link);
            const QString hex = m_app->flightStore()->selectedHex();
            QVERIFY2(hex.size() <= 32, qPrintable(link.left(80)));
            QVERIFY2(std::all_of(hex.begin(), hex.end(), [](QChar c) { return c.isPrint(); }),
                qPrintable(link.left(80)));
        }
        QVERIFY(m_app->mainWindow());
        QVERIFY(!QFile::exists(m_dir + u"/pwned"_s));
        QVERIFY(!QFile::exists(m_shot));
        // Every line the log holds was written by the application itself.
        for (const QString &line : log())
            QVERIFY2(!line.contains(u"forged"_s) || line.contains(u"GetURL: "_s), qPrintable(line));
    }

    void settingsLegendAndHelpAreWired()
    {
        m_app->showMainWindow();
        MainWindow *window = m_app->mainWindow();
        QVERIFY(window->settingsAction()->isEnabled());
        window->settingsAction()->trigger();
        QTRY_VERIFY(visibleTitles().contains(u"Settings — General"_s));

        QAction *legend = window->findChild<QAction *>(u"legend"_s);
        QVERIFY(legend);
        QStringList bar;
        for (const QAction *action : window->toolBar()->actions())
            if (!action->text().isEmpty() && action->isVisible())
                bar << action->text();
        QCOMPARE(bar.mid(bar.indexOf(u"Pause"_s)),
            (QStringList {
                u"Pause"_s, u"ATC Audio"_s, u"Logbook"_s, u"Legend"_s, u"Home Location"_s }));
        auto *popover = window->findChild<LegendPopover *>();
        legend->trigger();
        QTRY_VERIFY(popover->isVisible());
        popover->helpLink()->click();
        QVERIFY(!popover->isVisible());
        QTRY_VERIFY(visibleTitles().contains(u"Skyvelle Help"_s));
    }

    void trayMenuShowsPausesAndResumes()
    {
        TrayIcon tray(m_app->flightStore());
        QStringList texts;
        for (const QAction *action : tray.menu()->actions())
            if (!action->isSeparator())
                texts << action->text();
        QCOMPARE(texts, (QStringList { u"Show Skyvelle"_s, u"Pause"_s, u"Quit"_s }));
        tray.pauseAction()->trigger();
        QVERIFY(m_app->flightStore()->isPaused());
        QCOMPARE(tray.pauseAction()->text(), u"Resume"_s);
        tray.pauseAction()->trigger();
        QVERIFY(!m_app->flightStore()->isPaused());
        QCOMPARE(tray.pauseAction()->text(), u"Pause"_s);
        QSignalSpy shown(&tray, &TrayIcon::showRequested);
        tray.menu()->actions().first()->trigger();
        QCOMPARE(shown.size(), 1);
    }

    void oneInstanceListensAndTakesOverAStaleSocket()
    {
        const QString path = m_dir + u"/instance.socket"_s;
        QVERIFY(!SingleInstance::handOff(path, u"x"_s));
        leaveStaleSocket(path);
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(!SingleInstance::handOff(path, u"x"_s));

        SingleInstance first(path);
        QVERIFY(first.listen());
        SingleInstance second(path);
        QVERIFY(!second.listen());
        QVERIFY(QFileInfo::exists(path));
    }

    void badClientsNeverHoldUpTheNextLaunch()
    {
        const QString path = m_dir + u"/clients.socket"_s;
        SingleInstance instance(path);
        QVERIFY(instance.listen());
        QSignalSpy received(&instance, &SingleInstance::received);

        QLocalSocket silent;
        silent.connectToServer(path);
        QVERIFY(silent.waitForConnected(1000));
        QLocalSocket flood;
        flood.connectToServer(path);
        QVERIFY(flood.waitForConnected(1000));
        flood.write(QByteArray(SingleInstance::maxMessageBytes + 10, '\xff'));
        QLocalSocket binary;
        binary.connectToServer(path);
        QVERIFY(binary.waitForConnected(1000));
        binary.write(QByteArray("\x00\xc3\x28skyvelle://shot\n", 20));

        QVERIFY(SingleInstance::handOff(path, u"skyvelle://aircraft/a2c4e6"_s));
        QVERIFY(SingleInstance::handOff(path, QString()));
        QTRY_VERIFY(received.size() >= 3);
        QVERIFY(received.contains(QVariantList { u"skyvelle://aircraft/a2c4e6"_s }));
        QVERIFY(received.contains(QVariantList { QString() }));
        // The flood was dropped before its end, the silent one after its time-out.
        QTRY_COMPARE(flood.state(), QLocalSocket::UnconnectedState);
        QTRY_COMPARE_WITH_TIMEOUT(
            silent.state(), QLocalSocket::UnconnectedState, SingleInstance::clientTimeoutMs + 2000);
        QCOMPARE(received.size(), 3);
    }

    void secondLaunchHandsItsLinkToTheFirst()
    {
        QTemporaryDir home;
        QDir root(home.path());
        for (const QString &folder : { u"runtime"_s, u"config"_s, u"data"_s, u"cache"_s })
            QVERIFY(root.mkpath(folder));
        QFile::setPermissions(
            root.filePath(u"runtime"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString logPath = root.filePath(u"debug.log"_s);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, root.filePath(u"runtime"_s));
        environment.insert(u"XDG_CONFIG_HOME"_s, root.filePath(u"config"_s));
        environment.insert(u"XDG_DATA_HOME"_s, root.filePath(u"data"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, root.filePath(u"cache"_s));
        environment.insert(u"SKYVELLE_DEBUG_LOG"_s, logPath);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
        const auto start = [&environment](QProcess &process, const QStringList &arguments) {
            process.setProcessEnvironment(environment);
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(QStringLiteral(SKYVELLE_EXECUTABLE), arguments);
            return process.waitForStarted(5000);
        };
        const auto logHas = [&logPath](const QString &text) {
            return readLines(logPath).filter(text).size() > 0;
        };

        QProcess first;
        QVERIFY(start(first, { u"skyvelle://aircraft/a1b2c3"_s }));
        QTRY_VERIFY_WITH_TIMEOUT(logHas(u"launched; GetURL handler registered"_s), 15000);
        QVERIFY(logHas(u"GetURL: skyvelle://aircraft/a1b2c3"_s));

        QProcess second;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(start(second, { u"skyvelle://aircraft/a2c4e6"_s }));
        QVERIFY(second.waitForFinished(5000));
        qInfo("second launch handed over and exited in %lld ms", clock.elapsed());
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(logHas(u"GetURL: skyvelle://aircraft/a2c4e6"_s));
        QCOMPARE(first.state(), QProcess::Running);

        // Killed, the first leaves its socket behind; the next launch takes it over.
        ::kill(pid_t(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(5000));
        QProcess third;
        QVERIFY(start(third, {}));
        QTRY_VERIFY_WITH_TIMEOUT(readLines(logPath).filter(u"launched;"_s).size() == 2, 15000);
        QCOMPARE(third.state(), QProcess::Running);
        third.terminate();
        QVERIFY(third.waitForFinished(5000));
        QCOMPARE(third.exitCode(), 0);
    }

private:
    SkyvelleApp *m_app;
    QString m_dir;
    QString m_log;
    QString m_shot;
    QString m_widgetShots;
    int m_count = 0;
};

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    const SkyvelleApp::Paths paths { dir.filePath(u"Skyvelle.conf"_s), dir.filePath(u"data"_s),
        dir.filePath(u"tiles"_s), dir.filePath(u"app.log"_s), dir.filePath(u"app-shot.png"_s) };
    {
        QSettings settings(paths.settingsFile, QSettings::IniFormat);
        settings.setValue(
            u"homeLocation"_s, R"({"latitude":45.5,"longitude":-122.6,"label":"Portland"})"_ba);
        settings.setValue(u"services/feedPrimary"_s, u"http://127.0.0.1:9"_s);
        settings.setValue(u"services/feedSecondary"_s, u"http://127.0.0.1:9"_s);
        settings.setValue(u"services/tilesStandard"_s, u"http://127.0.0.1:9/{z}/{x}/{y}.png"_s);
        settings.setValue(u"services/appcast"_s, u"http://127.0.0.1:9/appcast.xml"_s);
    }
    SkyvelleApp app(argc, argv, paths);
    TestLifecycle test(&app, dir.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lifecycle.moc"
