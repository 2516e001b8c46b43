// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharedstate.h"
#include "testserver.h"
#include "widgethost.h"
#include "widgetrefresher.h"
#include "widgettray.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString nearest = u"com.tavrin.skyvelle.nearest"_s;
const QString radar = u"com.tavrin.skyvelle.radar"_s;
const QString skyboard = u"com.tavrin.skyvelle.skyboard"_s;

// Five aircraft around home, nearest first, as the feed sends them.
QByteArray fiveAircraft()
{
    QJsonArray aircraft;
    for (int i = 0; i < 5; ++i) {
        aircraft.append(QJsonObject { { u"hex"_s, u"abc12%1"_s.arg(i) },
            { u"flight"_s, u"TST%1"_s.arg(i) }, { u"lat"_s, 48.2 + 0.05 * (i + 1) },
            { u"lon"_s, -123.0 + 0.03 * i }, { u"dst"_s, 3.0 * (i + 1) },
            { u"alt_baro"_s, 5000 + 1000 * i }, { u"seen_pos"_s, 1 } });
    }
    return QJsonDocument(QJsonObject { { u"ac"_s, aircraft } }).toJson();
}

QJsonObject listed(const QString &kind, const QString &family)
{
    return { { u"kind"_s, kind }, { u"family"_s, family }, { u"screen"_s, QString() },
        { u"x"_s, 10 }, { u"y"_s, 10 } };
}

QByteArray listOf(const QJsonValue &widgets)
{
    return QJsonDocument(QJsonObject { { u"widgets"_s, widgets } }).toJson();
}

QColor colourAt(QWidget *widget, QPoint point)
{
    return widget->grab().toImage().pixelColor(point);
}

void press(QWidget *widget, QEvent::Type type, QPoint globalPosition)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, widget->mapFromGlobal(QPointF(globalPosition)), QPointF(globalPosition),
        button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

class TestWidgetHost : public QObject {
    Q_OBJECT

    WidgetHost::Paths paths() const
    {
        const QString config = m_dir->path() + u"/config/"_s;
        return { config + u"Skyvelle/Skyvelle.conf"_s, m_dir->path() + u"/data"_s,
            config + u"Skyvelle/widgets.json"_s, config + u"autostart/skyvelle-widgets.desktop"_s };
    }

    std::unique_ptr<WidgetHost> newHost()
    {
        auto host = std::make_unique<WidgetHost>(paths());
        host->setOpener([this](const QUrl &url) {
            m_opened << url;
            return true;
        });
        return host;
    }

    void writeList(const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(paths().widgetListFile).absolutePath());
        QFile file(paths().widgetListFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void writeConfig(double radiusNM, const QString &accent)
    {
        QVERIFY(SharedState::write(
            { { 48.2, -123.0, u"Home"_s }, radiusNM, u"nm"_s, accent }, paths().dataDirectory));
    }

private Q_SLOTS:
    void init()
    {
        m_dir.emplace();
        m_opened.clear();
        m_server.clearRequests();
        m_server.setPrefixReply(u"/v2/point/"_s, { .body = fiveAircraft() });
        QDir().mkpath(QFileInfo(paths().settingsFile).absolutePath());
        QFile settings(paths().settingsFile);
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[services]\nfeedPrimary=" + m_server.baseUrl().toEncoded()
            + "\nfeedSecondary=" + m_server.baseUrl().toEncoded() + "\n");
    }

    void widgetsComeBackWhereTheyWere()
    {
        const QString autostart = paths().autostartFile;
        {
            const auto host = newHost();
            host->restore();
            QVERIFY(host->widgets().isEmpty());
            QVERIFY(!QFile::exists(autostart));
            host->add(nearest, WidgetFamily::Small, QPoint(10, 20));
            DesktopWidget *medium = host->add(radar, WidgetFamily::Medium, QPoint(200, 20));
            host->add(skyboard, WidgetFamily::Large, QPoint(400, 200));
            QVERIFY(!host->add(nearest, WidgetFamily::Large));
            QCOMPARE(host->widgets().size(), 3);
            host->remove(medium);
        }
        QFile entry(autostart);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        // The build folder's path has no character that needs quoting.
        const QString exec = u"Exec="_s + QCoreApplication::applicationFilePath();
        QVERIFY(QString::fromUtf8(entry.readAll()).split(u'\n').contains(exec));

        const auto host = newHost();
        QSignalSpy emptied(host.get(), &WidgetHost::emptied);
        host->restore();
        QCOMPARE(host->widgets().size(), 2);
        QCOMPARE(host->widgets().at(0)->kind(), nearest);
        QCOMPARE(host->widgets().at(0)->pos(), QPoint(10, 20));
        QCOMPARE(host->widgets().at(1)->layout(), WidgetLayout::SkyBoardLarge);
        QCOMPARE(host->widgets().at(1)->pos(), QPoint(400, 200));

        host->removeAll();
        QVERIFY(host->widgets().isEmpty());
        QCOMPARE(emptied.size(), 1);
        QVERIFY(!QFile::exists(autostart));
        QVERIFY(WidgetList::load(paths().widgetListFile).isEmpty());
        QVERIFY(!QFile::exists(paths().widgetListFile + u".bad"_s));
    }

    void aWidgetOffEveryScreenComesBackOnTheScreen()
    {
        QVERIFY(WidgetList::save(paths().widgetListFile,
            { { skyboard, WidgetFamily::Large, u"gone"_s, QPoint(5000, -300) } }));
        const auto host = newHost();
        host->restore();
        QCOMPARE(host->widgets().size(), 1);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(host->widgets().first()->geometry()));
    }

    void newWidgetsFindFreePlaces()
    {
        const auto host = newHost();
        for (const auto &[kind, family] :
            { std::pair(skyboard, WidgetFamily::Large), std::pair(nearest, WidgetFamily::Small),
                std::pair(radar, WidgetFamily::Small), std::pair(radar, WidgetFamily::Medium) })
            host->add(kind, family);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QList<DesktopWidget *> widgets = host->widgets();
        for (const DesktopWidget *widget : widgets) {
            QVERIFY(screen.contains(widget->geometry()));
            for (const DesktopWidget *other : widgets)
                QVERIFY(widget == other || !widget->geometry().intersects(other->geometry()));
        }
    }

    void aDamagedListStartsEmptyAndIsKept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("cut off") << QByteArray(R"({"widgets": [{"kind": )");
        QTest::newRow("not a list") << listOf(u"all of them"_s);
        QTest::newRow("unknown kind")
            << listOf(QJsonArray { listed(u"com.example.clock"_s, u"small"_s) });
        QTest::newRow("size the kind lacks") << listOf(QJsonArray { listed(nearest, u"large"_s) });
        QJsonObject noPosition = listed(radar, u"small"_s);
        noPosition.remove(u"x"_s);
        QTest::newRow("no position")
            << listOf(QJsonArray { listed(radar, u"medium"_s), noPosition });
    }

    void aDamagedListStartsEmptyAndIsKept()
    {
        QFETCH(QByteArray, bytes);
        writeList(bytes);
        const auto host = newHost();
        host->restore();
        QVERIFY(host->widgets().isEmpty());
        QVERIFY(!QFile::exists(paths().widgetListFile));
        QFile bad(paths().widgetListFile + u".bad"_s);
        QVERIFY(bad.open(QIODevice::ReadOnly));
        QCOMPARE(bad.readAll(), bytes);

        host->add(radar, WidgetFamily::Small);
        QCOMPARE(WidgetList::load(paths().widgetListFile).size(), 1);
        QVERIFY(bad.exists());
    }

    void aConfigurationRewriteRedrawsEveryWidgetWithOneRequest()
    {
        writeConfig(40, u"#73FF99"_s);
        const auto host = newHost();
        host->add(nearest, WidgetFamily::Small, QPoint(0, 0));
        host->add(radar, WidgetFamily::Medium, QPoint(180, 0));
        host->add(skyboard, WidgetFamily::Large, QPoint(0, 180));
        QTRY_VERIFY(!host->widgets().first()->entry().isSample);
        QCOMPARE(host->widgets().first()->entry().aircraft.size(), 5);
        QCOMPARE(m_server.requestCount(), 1);

        m_server.clearRequests();
        // A run of saves, as dragging the radius slider makes, is one change.
        writeConfig(50, u"#73FF99"_s);
        QTest::qWait(300);
        writeConfig(60, u"#FF8800"_s);
        QElapsedTimer clock;
        clock.start();
        const QColor background = ScopePalette::fromAccent(u"#FF8800"_s).background;
        for (DesktopWidget *widget : host->widgets()) {
            // The left padding shows the palette's background.
            const QPoint edge(4, widget->height() / 2);
            QTRY_COMPARE_WITH_TIMEOUT(colourAt(widget, edge).rgba(), background.rgba(), 2000);
            QCOMPARE(widget->entry().radiusNM, 60.0);
        }
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(WidgetRefresher::settleMs + 200);
        QCOMPARE(m_server.requestCount(), 1);

        // Removing the configuration takes the widgets back to the set-up prompt.
        SharedState::clear(paths().dataDirectory);
        QTRY_VERIFY_WITH_TIMEOUT(host->widgets().first()->entry().needsSetup(), 2000);
        QCOMPARE(m_server.requestCount(), 1);
    }

    void aClickOpensTheRowsAircraftAndADragMoves()
    {
        writeConfig(40, u"#73FF99"_s);
        const auto host = newHost();
        DesktopWidget *board = host->add(skyboard, WidgetFamily::Large, QPoint(100, 100));
        QTRY_VERIFY(!board->entry().isSample);
        QCOMPARE(board->entry().aircraft.size(), 5);
        LinkRegions rows;
        WidgetRender::render(WidgetLayout::SkyBoardLarge, board->entry(), 1, &rows);
        QCOMPARE(rows.size(), 5);
        board->grab();

        const QPoint secondRow = board->mapToGlobal(rows.at(1).rect.center().toPoint());
        press(board, QEvent::MouseButtonPress, secondRow);
        press(board, QEvent::MouseButtonRelease, secondRow);
        QCOMPARE(m_opened, QList { QUrl(u"skyvelle://aircraft/abc121"_s) });

        // Outside the rows, the widget's own link.
        const QPoint corner = board->mapToGlobal(QPoint(board->width() / 2, 8));
        press(board, QEvent::MouseButtonPress, corner);
        press(board, QEvent::MouseButtonRelease, corner);
        QCOMPARE(m_opened.last(), QUrl(u"skyvelle://open"_s));

        // A wobble within the drag distance is still a click; beyond it the widget moves.
        m_opened.clear();
        const int slack = QApplication::startDragDistance() - 1;
        press(board, QEvent::MouseButtonPress, secondRow);
        press(board, QEvent::MouseMove, secondRow + QPoint(slack, 0));
        QCOMPARE(board->pos(), QPoint(100, 100));
        press(board, QEvent::MouseMove, secondRow + QPoint(40, 30));
        press(board, QEvent::MouseButtonRelease, secondRow + QPoint(40, 30));
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(board->pos(), QPoint(140, 130));
        QCOMPARE(WidgetList::load(paths().widgetListFile).value(0).position, QPoint(140, 130));
    }

    void framesAreTheirFamilysSizeWithRoundCorners_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<WidgetFamily>("family");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("name");
        QTest::newRow("nearest") << nearest << WidgetFamily::Small << QSize(170, 170)
                                 << u"Nearest Aircraft"_s;
        QTest::newRow("radar small")
            << radar << WidgetFamily::Small << QSize(170, 170) << u"Sky Radar"_s;
        QTest::newRow("radar medium")
            << radar << WidgetFamily::Medium << QSize(364, 170) << u"Sky Radar"_s;
        QTest::newRow("sky board")
            << skyboard << WidgetFamily::Large << QSize(364, 382) << u"Sky Board"_s;
    }

    void framesAreTheirFamilysSizeWithRoundCorners()
    {
        QFETCH(QString, kind);
        QFETCH(WidgetFamily, family);
        QFETCH(QSize, size);
        QFETCH(QString, name);
        const auto host = newHost();
        DesktopWidget *widget = host->add(kind, family, QPoint(0, 0));
        QCOMPARE(widget->size(), size);
        QCOMPARE(widget->accessibleName(), name);
        QVERIFY(widget->windowFlags().testFlags(
            Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint));

        const QImage image = widget->grab().toImage();
        const int right = size.width() - 1;
        const int bottom = size.height() - 1;
        for (const QPoint corner :
            { QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom) })
            QCOMPARE(image.pixelColor(corner).alpha(), 0);
        // Just inside the rounding (radius 22), and midway along each edge, the frame is opaque.
        for (const QPoint inside : { QPoint(8, 8), QPoint(right / 2, 0), QPoint(0, bottom / 2) })
            QCOMPARE(image.pixelColor(inside).alpha(), 255);
    }

    void theTrayOffersEveryKindInEverySize()
    {
        WidgetTray tray;
        const QList<QAction *> top = tray.menu()->actions();
        QStringList texts;
        for (const QAction *action : top)
            texts << action->text();
        QCOMPARE(texts, (QStringList { u"Add Widget"_s, u"Remove All"_s, QString(), u"Quit"_s }));

        const QList<QAction *> add = top.first()->menu()->actions();
        texts.clear();
        for (const QAction *action : add)
            texts << action->text();
        QCOMPARE(texts,
            (QStringList { u"Nearest Aircraft"_s, u"Sky Radar (small)"_s, u"Sky Radar (medium)"_s,
                u"Sky Board"_s }));
        QSignalSpy added(&tray, &WidgetTray::addRequested);
        add.at(2)->trigger();
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().at(0).toString(), radar);
        QCOMPARE(added.first().at(1).value<WidgetFamily>(), WidgetFamily::Medium);
    }

    void anAdditionNamesAKindAndMaybeASize_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("family");
        QTest::newRow("short name") << u"skyboard"_s << skyboard << u"large"_s;
        QTest::newRow("first size") << u"radar"_s << radar << u"small"_s;
        QTest::newRow("with size") << u"radar:medium"_s << radar << u"medium"_s;
        QTest::newRow("identifier") << nearest << nearest << u"small"_s;
        QTest::newRow("size it lacks") << u"nearest:large"_s << QString() << QString();
        QTest::newRow("no such size") << u"radar:huge"_s << QString() << QString();
        QTest::newRow("unknown") << u"clock"_s << QString() << QString();
        QTest::newRow("empty") << QString() << QString() << QString();
    }

    void anAdditionNamesAKindAndMaybeASize()
    {
        QFETCH(QString, text);
        QFETCH(QString, kind);
        QFETCH(QString, family);
        const std::optional<PlacedWidget> placed = WidgetHost::parseAddition(text);
        QCOMPARE(placed.has_value(), !kind.isEmpty());
        if (placed) {
            QCOMPARE(placed->kind, kind);
            QCOMPARE(familyName(placed->family), family);
        }
    }

private:
    std::optional<QTemporaryDir> m_dir;
    TestServer m_server;
    QList<QUrl> m_opened;
};

QTEST_MAIN(TestWidgetHost)
#include "tst_widgethost.moc"
