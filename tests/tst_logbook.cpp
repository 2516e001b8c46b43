// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbookfixture.h"
#include "sightinglog.h"
#include "tinyfilesystem.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestLogbook : public QObject, LogbookFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { reset(); }

    void countsNewAircraftOnly()
    {
        auto log = makeLog();
        log->record(fleet(0, 4));
        QVERIFY(log->isDirty());
        QList<Aircraft> ten = fleet(0, 10);
        m_now = m_now.addSecs(3600);
        log->record(ten);
        const SightingLog::DayStats today = log->store().days.value(u"2026-12-07"_s);
        QCOMPARE(today.count, 10);
        QCOMPARE(today.byHour.at(12), 4);
        QCOMPARE(today.byHour.at(13), 6);
        QCOMPARE(log->store().totalUnique, 10);
        QCOMPARE(log->todayCount(), 10);

        // Nothing new: nothing to write.
        log->saveIfDirty();
        log->record(ten);
        log->record({});
        QVERIFY(!log->isDirty());
    }

    void typesFirstSeen()
    {
        auto log = makeLog();
        const QDateTime first = m_now;
        log->record({ seen(u"a1"_s, u"b738"_s), seen(u"a2"_s) });
        m_now = m_now.addSecs(60);
        log->record({ seen(u"a3"_s, u"B738"_s), seen(u"a4"_s, u"zz99"_s) });
        const auto &types = log->store().typesFirstSeen;
        QCOMPARE(types.keys(), (QList<QString> { u"B738"_s, u"ZZ99"_s }));
        QCOMPARE(types.value(u"B738"_s), first);
        const QList<SightingLog::NewType> recent = log->recentNewTypes(8);
        QCOMPARE(recent.size(), 2);
        QCOMPARE(recent.at(0).id, u"ZZ99"_s);
        // Not in the catalogue: the code stands in for the name.
        QCOMPARE(recent.at(0).name, u"ZZ99"_s);
        QCOMPARE(recent.at(1).name, u"Boeing 737-800"_s);
    }

    void midnightRollsOver()
    {
        auto log = makeLog();
        m_now = QDateTime(QDate(2026, 12, 6), QTime(23, 59, 30), zone);
        log->record(fleet(0, 2));
        m_now = m_now.addSecs(60);
        // An empty fetch after midnight forgets yesterday's aircraft in memory only.
        log->record({});
        QCOMPARE(log->store().seenDayKey, u"2026-12-07"_s);
        QVERIFY(log->store().seenHexes.isEmpty());
        log->record(fleet(0, 1));
        QCOMPARE(log->store().days.value(u"2026-12-06"_s).byHour.at(23), 2);
        QCOMPARE(log->store().days.value(u"2026-12-07"_s).byHour.at(0), 1);
        QCOMPARE(log->store().totalUnique, 3);
        QCOMPARE(log->todayCount(), 1);
        QCOMPARE(log->lastSevenDaysCount(), 3);
    }

    void emptyLogSeries()
    {
        auto log = makeLog();
        const QList<SightingLog::DayPoint> days = log->lastDays(14);
        QCOMPARE(days.size(), 14);
        QCOMPARE(days.first().label, u"11/24"_s);
        QCOMPARE(days.first().id, u"2026-11-24"_s);
        QCOMPARE(days.last().label, u"12/7"_s);
        for (const auto &day : days)
            QCOMPARE(day.count, 0);
        QCOMPARE(log->hourlyProfile(), QList<qint64>(24, 0));
        QVERIFY(log->recentNewTypes(8).isEmpty());
    }

    void hourlyProfileCoversFourteenDays()
    {
        SightingLog::Store store;
        for (int ago : { 0, 13, 14 }) {
            SightingLog::DayStats day;
            day.count = 5;
            day.byHour[7] = 2;
            day.byHour[20] = 3;
            store.days.insert(noon(ago).toTimeZone(zone).date().toString(u"yyyy-MM-dd"_s), day);
        }
        QVERIFY(writeFile(file(), SightingLog::encode(store)));
        auto log = makeLog();
        QList<qint64> expected(24, 0);
        expected[7] = 4;
        expected[20] = 6;
        QCOMPARE(log->hourlyProfile(), expected);
        QCOMPARE(log->lastSevenDaysCount(), 5);
    }

    void pruning_data()
    {
        QTest::addColumn<int>("storedBefore");
        QTest::addColumn<int>("storedAfter");
        QTest::newRow("120 days are kept") << 119 << 120;
        // 121 days: cut back to the 90 days before today and today.
        QTest::newRow("121 days are cut") << 120 << 91;
    }

    void pruning()
    {
        QFETCH(int, storedBefore);
        QFETCH(int, storedAfter);
        SightingLog::Store store;
        for (int ago = 1; ago <= storedBefore; ++ago)
            store.days.insert(noon(ago).toTimeZone(zone).date().toString(u"yyyy-MM-dd"_s), {});
        QVERIFY(writeFile(file(), SightingLog::encode(store)));
        auto log = makeLog();
        QCOMPARE(log->store().days.size(), storedBefore);
        log->record(fleet(0, 1));
        QCOMPARE(log->store().days.size(), storedAfter);
        if (storedAfter < storedBefore)
            QCOMPARE(log->store().days.firstKey(), u"2026-09-08"_s);
    }

    void fileFormat()
    {
        m_now = QDateTime(QDate(2026, 12, 7), QTime(10, 30, 15, 250), QTimeZone::utc());
        auto log = makeLog();
        log->record({ seen(u"abc123"_s, u"A320"_s), seen(u"abc124"_s) });
        log->saveIfDirty();
        QVERIFY(!log->isDirty());

        const QByteArray bytes = readFile(file());
        QVERIFY(!bytes.contains('\n'));
        const QJsonObject root = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(root.keys(),
            (QStringList { u"days"_s, u"seenDayKey"_s, u"seenHexes"_s, u"totalUnique"_s,
                u"typesFirstSeen"_s }));
        const double stamp = root.value("typesFirstSeen"_L1).toObject().value("A320"_L1).toDouble();
        // Seconds since 2001-01-01, with the fraction.
        QCOMPARE(stamp, double(m_now.toSecsSinceEpoch()) - 978307200.0 + 0.25);
        QVERIFY(stamp > 7.9e8 && stamp < 8.2e8);
        const QJsonObject today =
            root.value("days"_L1).toObject().value("2026-12-07"_L1).toObject();
        QCOMPARE(today.value("count"_L1).toInteger(), 2);
        QJsonArray expectedHours;
        for (int h = 0; h < 24; ++h)
            expectedHours.append(h == 11 ? 2 : 0);
        QCOMPARE(today.value("byHour"_L1).toArray(), expectedHours);
        QCOMPARE(root.value("totalUnique"_L1).toInteger(), 2);
        QCOMPARE(root.value("seenDayKey"_L1).toString(), u"2026-12-07"_s);
        QCOMPARE(root.value("seenHexes"_L1).toArray().size(), 2);

        // And it reads back as it was.
        QCOMPARE(makeLog()->store(), log->store());
    }

    void everySpellingOfAHexKeptApart()
    {
        // The usual spelling is held as a number; the others as written, never merged with it.
        const QStringList spellings { u"abc123"_s, u"ABC123"_s, u"0abc12"_s, u"abc12"_s,
            u"~abc123"_s, u"a\"b\\c"_s, u"\u00e9\n"_s, u"000000"_s, u"ffffff"_s, QString() };
        auto log = makeLog();
        QList<Aircraft> aircraft;
        for (const QString &hex : spellings)
            aircraft << seen(hex);
        log->record(aircraft);
        log->record(aircraft);
        QCOMPARE(log->todayCount(), spellings.size());
        for (const QString &hex : spellings)
            QVERIFY(log->store().seenHexes.contains(hex));
        QVERIFY(!log->store().seenHexes.contains(u"abc124"_s));

        // Written as QJsonDocument writes the same document, and read back unchanged.
        const QByteArray bytes = SightingLog::encode(log->store());
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        QCOMPARE(document.toJson(QJsonDocument::Compact), bytes);
        QStringList written;
        for (const QJsonValue &hex : document.object().value("seenHexes"_L1).toArray())
            written << hex.toString();
        written.sort();
        QStringList expected = spellings;
        expected.sort();
        QCOMPARE(written, expected);
        QCOMPARE(SightingLog::decode(bytes)->seenHexes, log->store().seenHexes);
    }

    void restartSameDayCountsNothingTwice()
    {
        {
            auto log = makeLog();
            log->record(fleet(0, 2));
            log->saveIfDirty();
        }
        m_now = m_now.addSecs(600);
        auto log = makeLog();
        log->record(fleet(0, 3));
        QCOMPARE(log->todayCount(), 3);
        QCOMPARE(log->store().totalUnique, 3);
    }

    void failedSaveIsRetried()
    {
        // A plain file where the folder should be: the save fails even for root.
        const QString blocker = tempPath(u"blocker"_s);
        QVERIFY(writeFile(blocker, "x"));
        const QString dir = blocker + u"/Skyvelle"_s;
        auto log = makeLog(dir);
        log->record(fleet(0, 2));
        log->saveIfDirty();
        QVERIFY(log->isDirty());

        QVERIFY(QFile::remove(blocker));
        log->saveIfDirty();
        QVERIFY(!log->isDirty());
        QCOMPARE(makeLog(dir)->todayCount(), 2);
    }

    void diskFaultsKeepTheLogbook_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("reason");
        QTest::newRow("full disk") << false << u"No space left"_s;
        QTest::newRow("read-only folder") << true << u"Read-only"_s;
    }

    void diskFaultsKeepTheLogbook()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, reason);
        TinyFilesystem disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString path = disk.path() + u"/logbook.json"_s;
        auto log = makeLog(disk.path());
        log->record(fleet(0, 3));
        log->saveIfDirty();
        const QByteArray saved = readFile(path);
        QVERIFY(!saved.isEmpty());

        QVERIFY(readOnly ? disk.setReadOnly(true) : disk.fill());
        log->record(fleet(3, 500));
        log->saveIfDirty();
        QVERIFY(log->isDirty());
        QCOMPARE(readFile(path), saved);
        QCOMPARE(makeLog(disk.path())->todayCount(), 3);
        QVERIFY2(log->saveError().contains(reason), qPrintable(log->saveError()));
        QVERIFY(!log->saveError().contains(u'\n'));

        QVERIFY(readOnly ? disk.setReadOnly(false) : disk.makeRoom());
        log->saveIfDirty();
        QVERIFY(!log->isDirty());
        QVERIFY(log->saveError().isEmpty());
        QCOMPARE(makeLog(disk.path())->todayCount(), 500);
    }

    void unreadableFileIsKept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("sparseSize"); // grows the file to this size first

        const QByteArray good =
            R"({"days":{"2026-12-06":{"count":1,"byHour":[0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0,0,0,0,0,0,0,0,0]}},)"
            R"("typesFirstSeen":{"B738":818000000.5},"totalUnique":1,"seenDayKey":"2026-12-06","seenHexes":["a1"]})";
        QTest::newRow("truncated") << good.left(good.size() / 2) << qint64(0);
        QTest::newRow("seenHexes missing")
            << QByteArray(good).replace(R"(,"seenHexes":["a1"])", "") << qint64(0);
        QTest::newRow("count as text")
            << QByteArray(good).replace(R"("count":1)", R"("count":"1")") << qint64(0);
        QTest::newRow("count with a fraction")
            << QByteArray(good).replace(R"("count":1)", R"("count":1.5)") << qint64(0);
        QTest::newRow("count beyond 64 bits")
            << QByteArray(good).replace(R"("count":1)", R"("count":1e30)") << qint64(0);
        QTest::newRow("hour as text")
            << QByteArray(good).replace("[0,0,", R"(["0",0,)") << qint64(0);
        QTest::newRow("date as text")
            << QByteArray(good).replace("818000000.5", R"("2026")") << qint64(0);
        QTest::newRow("date far out")
            << QByteArray(good).replace("818000000.5", "1e300") << qint64(0);
        QTest::newRow("hex as number") << QByteArray(good).replace(R"(["a1"])", "[1]") << qint64(0);
        QTest::newRow("array") << QByteArray("[]") << qint64(0);
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe", 3) << qint64(0);
        // Well-formed but far beyond any real logbook: not decoded on the window's thread.
        QByteArray huge = good;
        huge.replace(R"(["a1"])",
            "[\"a1\"" + QByteArray(5 * 1024 * 1024 / 6, '.').replace(".", ",\"a2\"") + "]");
        QTest::newRow("5 MB of hexes") << huge << qint64(0);
        // Not read at all; sparse, so the test stays quick.
        QTest::newRow("200 MB") << good << qint64(200) * 1024 * 1024;
    }

    void unreadableFileIsKept()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, sparseSize);
        QVERIFY(writeFile(file(), bytes));
        if (sparseSize > 0)
            QVERIFY(QFile::resize(file(), sparseSize));
        const qint64 size = QFileInfo(file()).size();
        auto sameAsOriginal = [&](const QString &path) {
            return sparseSize > 0 ? QFileInfo(path).size() == size : readFile(path) == bytes;
        };
        QVERIFY(writeFile(file() + u".bad"_s, "older bad copy"));

        auto log = makeLog();
        QCOMPARE(log->store(), SightingLog::Store());
        // Nothing recorded yet: nothing is written or moved.
        log->saveIfDirty();
        QVERIFY(sameAsOriginal(file()));

        log->record(fleet(0, 1));
        log->saveIfDirty();
        QVERIFY(sameAsOriginal(file() + u".bad"_s));
        QCOMPARE(makeLog()->todayCount(), 1);
        // A second save does not touch the copy again.
        log->record(fleet(1, 2));
        log->saveIfDirty();
        QVERIFY(sameAsOriginal(file() + u".bad"_s));
    }

    void byHourLength_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("short") << 20;
        QTest::newRow("long") << 30;
        QTest::newRow("empty") << 0;
    }

    void byHourLength()
    {
        QFETCH(int, length);
        QJsonArray hours;
        for (int h = 0; h < length; ++h)
            hours.append(h + 1);
        const QJsonObject day { { u"count"_s, 5 }, { u"byHour"_s, hours } };
        const QJsonObject root {
            { u"days"_s, QJsonObject { { u"2026-12-07"_s, day } } },
            { u"typesFirstSeen"_s, QJsonObject() },
            { u"totalUnique"_s, 5 },
            { u"seenDayKey"_s, u"2026-12-07"_s },
            { u"seenHexes"_s, QJsonArray() },
        };
        QVERIFY(writeFile(file(), QJsonDocument(root).toJson()));
        auto log = makeLog();
        QList<qint64> expected(24, 0);
        for (int h = 0; h < std::min(length, 24); ++h)
            expected[h] = h + 1;
        QCOMPARE(log->store().days.value(u"2026-12-07"_s).byHour, expected);
        QCOMPARE(log->hourlyProfile(), expected);
        // The last hour of the day is there to count into.
        m_now = QDateTime(QDate(2026, 12, 7), QTime(23, 30), zone);
        log->record(fleet(0, 1));
        QCOMPARE(log->store().days.value(u"2026-12-07"_s).byHour.at(23), expected.at(23) + 1);
    }

    void hugeCountsSaturate()
    {
        const qint64 max = std::numeric_limits<qint64>::max();
        SightingLog::Store store;
        SightingLog::DayStats day;
        day.count = max;
        day.byHour[12] = max;
        store.days.insert(u"2026-12-07"_s, day);
        store.days.insert(u"2026-12-06"_s, day);
        store.totalUnique = max;
        QVERIFY(writeFile(file(), SightingLog::encode(store)));
        auto log = makeLog();
        log->record(fleet(0, 3));
        QCOMPARE(log->todayCount(), max);
        QCOMPARE(log->store().totalUnique, max);
        QCOMPARE(log->lastSevenDaysCount(), max);
        QCOMPARE(log->hourlyProfile().at(12), max);
    }
};

QTEST_GUILESS_MAIN(TestLogbook)
#include "tst_logbook.moc"
