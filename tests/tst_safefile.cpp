// SPDX-License-Identifier: GPL-3.0-or-later
#include "safefile.h"
#include "sharedstate.h"
#include "tinyfilesystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The names in @p folder apart from the test's own filler.
QStringList entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    names.removeAll(u"filler"_s);
    return names;
}

mode_t modeOf(const QString &path)
{
    struct stat info { };
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

const QByteArray previous =
    R"({"days":{},"typesFirstSeen":{},"totalUnique":7,"seenDayKey":"","seenHexes":[]})";

// The two versions the writer process alternates between: large enough that a kill often lands
// mid-write, and different in every byte so that a mixed file shows.
QByteArray version(int which)
{
    return QByteArray(512 * 1024, which == 0 ? 'a' : 'b');
}

// Run as "tst_safefile --save-forever <path>": replaces the file again and again until killed.
[[noreturn]] void saveForever(const QString &path)
{
    for (int n = 0;; ++n)
        SafeFile::write(path, version(n % 2));
}

} // namespace

class TestSafeFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fullDiskKeepsThePreviousFile_data()
    {
        QTest::addColumn<int>("size");
        // Both sizes once committed as empty or cut files through an unchecked write.
        QTest::newRow("2,000 bytes") << 2000;
        QTest::newRow("100 KB") << 100 * 1024;
    }

    void fullDiskKeepsThePreviousFile()
    {
        QFETCH(int, size);
        TinyFilesystem disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString path = disk.path() + u"/logbook.json"_s;
        QVERIFY(SafeFile::write(path, previous));
        QVERIFY(disk.fill());

        QString error;
        QVERIFY(!SafeFile::write(path, QByteArray(size, 'n'), &error));
        QVERIFY2(error.contains(u"space"_s), qPrintable(error));
        QVERIFY(!error.contains(u'\n'));
        QCOMPARE(readFile(path), previous);
        QCOMPARE(entries(disk.path()), QStringList { u"logbook.json"_s });

        QVERIFY(disk.makeRoom());
        QVERIFY(SafeFile::write(path, QByteArray(size, 'n')));
        QCOMPARE(readFile(path), QByteArray(size, 'n'));
    }

    void readOnlyFolderKeepsThePreviousFile()
    {
        TinyFilesystem disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const QString path = disk.path() + u"/widget-config.json"_s;
        QVERIFY(SafeFile::write(path, previous));
        QVERIFY(disk.setReadOnly(true));

        QString error;
        QVERIFY(!SafeFile::write(path, "{}", &error));
        QVERIFY2(error.contains(u"Read-only"_s), qPrintable(error));
        QCOMPARE(readFile(path), previous);
        QVERIFY(disk.setReadOnly(false));
    }

    void symbolicLinkIsReplacedNotFollowed()
    {
        QTemporaryDir dir;
        const QString elsewhere = dir.filePath(u"elsewhere.txt"_s);
        QFile target(elsewhere);
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("someone else's file");
        target.close();
        const QString path = dir.filePath(u"widget-config.json"_s);
        QVERIFY(QFile::link(elsewhere, path));

        QVERIFY(SafeFile::write(path, "{}"));
        QCOMPARE(readFile(elsewhere), QByteArray("someone else's file"));
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(readFile(path), QByteArray("{}"));
    }

    void danglingLinkAndDirectory()
    {
        QTemporaryDir dir;
        // A link to a file that does not exist yet must not create it.
        const QString missing = dir.filePath(u"created-through-link"_s);
        const QString link = dir.filePath(u"link.json"_s);
        QVERIFY(QFile::link(missing, link));
        QVERIFY(SafeFile::write(link, "{}"));
        QVERIFY(!QFileInfo::exists(missing));

        const QString folder = dir.filePath(u"folder.json"_s);
        QVERIFY(QDir().mkdir(folder));
        QString error;
        QVERIFY(!SafeFile::write(folder, "{}", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(entries(dir.path()), (QStringList { u"folder.json"_s, u"link.json"_s }));
    }

    // A process killed in the middle of a save leaves the old file or the new one, never a part.
    void killedMidSaveLeavesAWholeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"logbook.json"_s);
        QVERIFY(SafeFile::write(path, previous));
        for (int round = 0; round < 20; ++round) {
            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(), { u"--save-forever"_s, path });
            QVERIFY(writer.waitForStarted());
            QTest::qWait(int(QRandomGenerator::global()->bounded(20, 120)));
            ::kill(pid_t(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished());
            const QByteArray bytes = readFile(path);
            QVERIFY2(bytes == previous || bytes == version(0) || bytes == version(1),
                qPrintable(u"round %1: %2 bytes"_s.arg(round).arg(bytes.size())));
        }

        // The next save clears away the copies the killed writers left, once they are old
        // enough that no writer can still be at work on them, and nothing else.
        const auto write = [&](const QString &name) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{\"partial");
        };
        write(u".logbook.json.Ab3xYz"_s);
        write(u"logbook.json.backup"_s);
        write(u".logbook.json.backup1"_s);
        const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
        for (const QString &name : entries(dir.path())) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(hourAgo, QFileDevice::FileModificationTime));
        }
        write(u".logbook.json.Fresh1"_s);
        QVERIFY(SafeFile::write(path, previous));
        QStringList left = entries(dir.path());
        left.sort();
        QCOMPARE(left,
            QStringList({ u".logbook.json.Fresh1"_s, u".logbook.json.backup1"_s, u"logbook.json"_s,
                u"logbook.json.backup"_s }));
    }

    void permissions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"logbook.json"_s);
        QVERIFY(SafeFile::write(path, "1"));
        QCOMPARE(modeOf(path), mode_t(0600));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        QVERIFY(SafeFile::write(path, "2"));
        QCOMPARE(modeOf(path), mode_t(0640));
        QCOMPARE(readFile(path), QByteArray("2"));
    }

    void sharedConfigOnAFullDisk()
    {
        TinyFilesystem disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.skipReason()));
        const SharedState::Config config { HomeLocation { 45.5, -122.6, u"Home"_s }, 25, {}, {} };
        QVERIFY(SharedState::write(config, disk.path()));
        const QByteArray before = readFile(SharedState::filePath(disk.path()));
        QVERIFY(disk.fill());

        SharedState::Config moved = config;
        moved.home.label = QString(3000, u'x');
        QVERIFY(!SharedState::write(moved, disk.path()));
        QCOMPARE(readFile(SharedState::filePath(disk.path())), before);
        QCOMPARE(SharedState::read(disk.path()), config);
    }

    void sharedConfigThroughAPlantedLink()
    {
        QTemporaryDir dir;
        const QString elsewhere = dir.filePath(u"bashrc"_s);
        QFile target(elsewhere);
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("export PATH=/usr/bin\n");
        target.close();
        const QString folder = dir.filePath(u"Skyvelle"_s);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::link(elsewhere, SharedState::filePath(folder)));

        const SharedState::Config config { HomeLocation { 45.5, -122.6, u"Home"_s }, 25, {}, {} };
        QVERIFY(SharedState::write(config, folder));
        QCOMPARE(readFile(elsewhere), QByteArray("export PATH=/usr/bin\n"));
        QVERIFY(!QFileInfo(SharedState::filePath(folder)).isSymLink());
        QCOMPARE(SharedState::read(folder), config);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--save-forever") == 0)
        saveForever(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestSafeFile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_safefile.moc"
