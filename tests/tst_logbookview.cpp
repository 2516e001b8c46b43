// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbookfixture.h"
#include "logbookwindow.h"
#include "views/logbookview.h"

#include <QAccessible>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QScreen>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QList<qreal> values(QBarSet *set)
{
    QList<qreal> result;
    for (int i = 0; i < set->count(); ++i)
        result << set->at(i);
    return result;
}

QList<qreal> asReals(const QList<qint64> &counts)
{
    QList<qreal> result;
    for (qint64 n : counts)
        result << qreal(n);
    return result;
}

} // namespace

// The logbook window's contents: the four tiles, the two charts, the new types.
class TestLogbookView : public QObject, LogbookFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { reset(); }

    void viewShowsTheLog()
    {
        auto log = makeLog();
        LogbookView view(log.get());
        view.resize(560, 640);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        auto tile = [&view](const char *name) {
            return view.findChild<QWidget *>(QLatin1String(name))
                ->findChild<QLabel *>(u"value"_s)
                ->text();
        };
        auto *noTypes = view.findChild<QLabel *>(u"noTypes"_s);
        auto *dayChart = view.findChild<QChartView *>(u"dayChart"_s);
        auto *hourChart = view.findChild<QChartView *>(u"hourChart"_s);
        QVERIFY(dayChart && hourChart && noTypes);
        auto firstSet = [](QChartView *chart) {
            return static_cast<QBarSeries *>(chart->chart()->series().constFirst())
                ->barSets()
                .constFirst();
        };

        // Empty: zeros, fourteen labelled days, the hour marks, the empty line.
        for (const char *name : { "tileToday", "tileLastSevenDays", "tileTypes", "tileAllTime" })
            QCOMPARE(tile(name), u"0"_s);
        QVERIFY(noTypes->isVisibleTo(&view));
        auto *dayAxis =
            static_cast<QBarCategoryAxis *>(dayChart->chart()->axes(Qt::Horizontal).constFirst());
        QCOMPARE(dayAxis->categories().size(), 14);
        QCOMPARE(dayAxis->categories().constLast(), u"12/7"_s);
        QVERIFY(!dayAxis->labelsTruncated());
        auto *hourAxis =
            static_cast<QCategoryAxis *>(hourChart->chart()->axes(Qt::Horizontal).constFirst());
        QCOMPARE(hourAxis->categoriesLabels(),
            (QStringList { u"0:00"_s, u"6:00"_s, u"12:00"_s, u"18:00"_s, u"23:00"_s }));
        QCOMPARE(values(firstSet(dayChart)), QList<qreal>(14, 0.0));
        QCOMPARE(values(firstSet(hourChart)), QList<qreal>(24, 0.0));

        // Filled in as aircraft are counted, across three days.
        m_now = noon(3);
        log->record(fleet(0, 4));
        m_now = noon(1);
        log->record({ seen(u"b1"_s, u"C172"_s), seen(u"b2"_s, u"QQ12"_s) });
        m_now = noon().addSecs(3 * 3600);
        log->record(fleet(0, 5));
        QCOMPARE(tile("tileToday"), u"5"_s);
        QCOMPARE(tile("tileLastSevenDays"), u"11"_s);
        QCOMPARE(tile("tileTypes"), u"2"_s);
        QCOMPARE(tile("tileAllTime"), u"11"_s);
        QList<qreal> perDay;
        for (const auto &point : log->lastDays(14))
            perDay << qreal(point.count);
        QCOMPARE(values(firstSet(dayChart)), perDay);
        // The Today tile is the rightmost bar.
        QCOMPARE(perDay.constLast(), 5.0);
        QCOMPARE(values(firstSet(hourChart)), asReals(log->hourlyProfile()));
        QVERIFY(!noTypes->isVisibleTo(&view));
        const QList<QLabel *> names = view.findChildren<QLabel *>(u"typeName"_s);
        QCOMPARE(names.size(), 2);
        QCOMPARE(names.at(0)->text(), u"Cessna 172 Skyhawk"_s);
        QCOMPARE(names.at(1)->text(), u"QQ12"_s);
        QCOMPARE(view.findChildren<QLabel *>(u"typeDate"_s).at(0)->text(), u"6 Dec 2026"_s);

        // The bars are drawn in the accent colour, and only where there is a count.
        const QImage image = hourChart->grab().toImage();
        const QColor accent = view.palette().color(QPalette::Highlight);
        auto accentColumns = [&] {
            int columns = 0;
            for (int x = 0; x < image.width(); ++x) {
                for (int y = 0; y < image.height(); ++y) {
                    const QColor c = image.pixelColor(x, y);
                    if (qAbs(c.red() - accent.red()) + qAbs(c.green() - accent.green())
                            + qAbs(c.blue() - accent.blue())
                        < 40) {
                        ++columns;
                        break;
                    }
                }
            }
            return columns;
        };
        // Two hours of the fortnight have counts: two bars, each a few pixels wide.
        const int columns = accentColumns();
        QVERIFY2(columns > 4 && columns < image.width() / 6, qPrintable(QString::number(columns)));
    }

    // What a screen reader hears: the tiles title first, the charts as words that follow the log.
    void spokenContents()
    {
        auto log = makeLog();
        LogbookView view(log.get());
        auto *dayChart = view.findChild<QChartView *>(u"dayChart"_s);
        auto *hourChart = view.findChild<QChartView *>(u"hourChart"_s);
        QCOMPARE(dayChart->accessibleName(), u"Aircraft per day, last 14 days"_s);
        QCOMPARE(hourChart->accessibleName(), u"Busiest hours, last 14 days"_s);
        QVERIFY(dayChart->accessibleDescription().startsWith(
            u"Aircraft per day, last 14 days: 7 Dec 0, 6 Dec 0, "_s));

        m_now = noon(3);
        log->record(fleet(0, 4));
        m_now = noon(1);
        log->record(fleet(10, 12));
        m_now = noon().addSecs(3 * 3600);
        log->record(fleet(0, 5));

        const QString days = dayChart->accessibleDescription();
        QVERIFY2(
            days.startsWith(
                u"Aircraft per day, last 14 days: 7 Dec 5, 6 Dec 2, 5 Dec 0, 4 Dec 4, 3 Dec 0, "_s),
            qPrintable(days));
        QVERIFY2(days.endsWith(u", 24 Nov 0"_s), qPrintable(days));
        QCOMPARE(days.section(u": "_s, 1).split(u", "_s).size(), 14);
        const QString hours = hourChart->accessibleDescription();
        QVERIFY2(hours.startsWith(u"Busiest hours, last 14 days: 0:00 0, 1:00 0, "_s),
            qPrintable(hours));
        QVERIFY2(hours.contains(u", 11:00 0, 12:00 6, 13:00 0, 14:00 0, 15:00 5, 16:00 0, "_s),
            qPrintable(hours));
        QVERIFY(hours.endsWith(u", 23:00 0"_s));

        const auto spoken = [&view](const char *tile) {
            return QAccessible::queryAccessibleInterface(
                view.findChild<QWidget *>(QLatin1String(tile)))
                ->text(QAccessible::Name);
        };
        QCOMPARE(spoken("tileToday"), u"Today: 5"_s);
        QCOMPARE(spoken("tileLastSevenDays"), u"Last 7 days: 11"_s);
        QCOMPARE(spoken("tileAllTime"), u"All time: 11"_s);
    }

    // The window asks for more height than the test screen has; it still opens whole, centred.
    void windowOpensOnScreen()
    {
        auto log = makeLog();
        QWidget main;
        main.resize(300, 200);
        main.show();
        LogbookWindow window(log.get());
        window.present(&main);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect available = main.screen()->availableGeometry();
        QVERIFY2(available.contains(window.frameGeometry()),
            qPrintable(u"%1,%2 %3x%4"_s.arg(window.x())
                           .arg(window.y())
                           .arg(window.width())
                           .arg(window.height())));
        QVERIFY((window.geometry().center() - available.center()).manhattanLength() <= 2);

        // Presented again after the user moved it, it stays where it was put.
        window.move(available.topLeft());
        window.present(&main);
        QCOMPARE(window.pos(), available.topLeft());
    }

    void eightTypeRowsAtMost()
    {
        auto log = makeLog();
        for (int i = 0; i < 12; ++i) {
            log->record({ seen(u"h%1"_s.arg(i), u"T%1"_s.arg(i)) });
            m_now = m_now.addSecs(10);
        }
        LogbookView view(log.get());
        const QList<QLabel *> names = view.findChildren<QLabel *>(u"typeName"_s);
        QCOMPARE(names.size(), 8);
        QCOMPARE(names.first()->text(), u"T11"_s);
        QCOMPARE(names.last()->text(), u"T4"_s);
    }
};

QTEST_MAIN(TestLogbookView)
#include "tst_logbookview.moc"
