// SPDX-License-Identifier: GPL-3.0-or-later
// A compressed day: the flight store, the alert engine (every rule on) and the logbook, wired
// as the application wires them, driven through 17,280 polls (a day at one poll every five
// seconds) of a churning 2,000-aircraft feed from a local HTTP server, one poll after the
// other as fast as they apply. The server runs in a process of its own (this program, started
// again with --serve), as the aggregators do: its answers and buffers are not the
// application's memory. A fake clock moves five seconds per poll, so cooldowns expire
// and the day rolls over as they would. Prints the resident memory, the trail points, the
// cooldown entries and the logbook's size from the first poll on. The day's figures are taken
// from 1 % of the day on, once the trails are full and the buffers of a poll have been made, as
// they are in an application that has been running a while; the first poll is shown apart.
//
// bench_day [polls] [churn]
// bench_day --serve [churn]      the feed server alone: prints its address, serves until killed
#include "alertengine.h"
#include "churningfeed.h"
#include "flightstore.h"
#include "preferences.h"
#include "sightinglog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <malloc.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int aircraftCount = 2000;
constexpr int pollsPerDay = 17280;

// VmRSS from /proc/self/status, in MB.
double residentMB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0.0;
}

// The server's address, read from the first line it prints; empty when it did not start.
QUrl startServer(QProcess &server, int churn)
{
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QCoreApplication::applicationFilePath(), { u"--serve"_s, QString::number(churn) });
    while (!server.canReadLine()) {
        if (!server.waitForReadyRead(30000))
            return {};
    }
    return QUrl(QString::fromLatin1(server.readLine().trimmed()));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // About the traffic of a busy area: an aircraft stays some 200 polls (17 minutes).
    constexpr int defaultChurn = 10;
    if (argc > 1 && std::strcmp(argv[1], "--serve") == 0) {
        const int churn = argc > 2 ? std::max(1, atoi(argv[2])) : defaultChurn;
        ChurningServer server(QStringLiteral(SKYVELLE_FIXTURE), aircraftCount, churn);
        std::printf("%s\n", qPrintable(server.baseUrl().toString()));
        std::fflush(stdout);
        return app.exec();
    }
    const int polls = argc > 1 ? std::max(2, atoi(argv[1])) : pollsPerDay;
    const int churn = argc > 2 ? std::max(1, atoi(argv[2])) : defaultChurn;

    QProcess serverProcess;
    const QUrl serverUrl = startServer(serverProcess, churn);
    if (!serverUrl.isValid())
        qFatal("the feed server did not start");
    QTemporaryDir dir;
    Preferences preferences(dir.filePath(u"Skyvelle.conf"_s));
    preferences.setAlertsEnabled(true);
    preferences.setAlertFlyover(true);
    preferences.setAlertMilitary(true);
    preferences.setAlertHelicopters(true);
    preferences.setAlertLowAltitude(true);
    preferences.setAlertRangeMiles(25);
    preferences.setAlertWatchlist(u"ASA1234, N100SK, 100010"_s);
    QNetworkAccessManager network;
    FlightStore store(&preferences, &network, churningServices(serverUrl), dir.filePath(u"data"_s));
    AlertEngine alerts(&preferences, nullptr);
    SightingLog logbook(dir.filePath(u"data"_s));

    QDateTime now = QDateTime(QDate(2026, 6, 1), QTime(0, 0), Qt::UTC);
    const auto clock = [&now] { return now; };
    store.setClock(clock);
    alerts.setClock(clock);
    logbook.setClock(clock);
    logbook.setTimeZone(QTimeZone::utc());

    qint64 alertCount = 0;
    QObject::connect(&alerts, &AlertEngine::alerted, &alerts, [&] { ++alertCount; });

    std::printf("compressed day: %d polls of %d aircraft, %d arriving and %d leaving per poll\n",
        polls, aircraftCount, churn, churn);
    std::printf("%-8s %8s %9s %9s %12s %10s %14s %10s %12s %10s\n", "poll", "clock", "RSS MB",
        "heap MB", "trail pts", "cooldowns", "logbook hexes", "types", "file bytes", "alerts");
    const int warm = std::max(2, polls / 100);
    double startMB = 0.0;
    double lowMB = 0.0;
    double highMB = 0.0;
    double endMB = 0.0;
    const auto report = [&](int poll) {
        qsizetype points = 0;
        for (const auto &trail : store.trails())
            points += trail.size();
        logbook.saveIfDirty();
        const double rss = residentMB();
        // What the allocator hands out, beside what the process holds.
        const struct mallinfo2 heap = mallinfo2();
        const double heapMB = double(heap.uordblks + heap.hblkhd) / (1024.0 * 1024.0);
        std::printf("%-8d %8s %9.1f %9.1f %12lld %10lld %14lld %10lld %12lld %10lld%s\n", poll,
            qPrintable(now.toString(u"d HH:mm"_s)), rss, heapMB, static_cast<long long>(points),
            static_cast<long long>(alerts.cooldownCount()),
            static_cast<long long>(logbook.store().seenHexes.size()),
            static_cast<long long>(logbook.store().typesFirstSeen.size()),
            static_cast<long long>(QFileInfo(logbook.filePath()).size()),
            static_cast<long long>(alertCount),
            poll == 1          ? "  (first poll)"
                : poll == warm ? "  (start: 1 % of the day)"
                               : "");
        std::fflush(stdout);
    };

    int applied = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    QObject::connect(
        &store, &FlightStore::answerApplied, &store, [&](const QList<Aircraft> &aircraft) {
            alerts.evaluate(aircraft, *store.home());
            logbook.record(aircraft);
            const int poll = ++applied;
            // The range is taken over every poll, before the save, so that it holds the most
            // the allocator keeps between two saves and not only what a save leaves.
            if (poll >= warm) {
                const double rss = residentMB();
                if (poll == warm)
                    startMB = lowMB = highMB = rss;
                lowMB = std::min(lowMB, rss);
                highMB = std::max(highMB, rss);
                endMB = rss;
            }
            // The application saves the logbook once a minute.
            if (poll % 12 == 0)
                logbook.saveIfDirty();
            if (poll == 1 || poll == warm || poll == polls / 2 || poll == polls || poll % 1440 == 0)
                report(poll);
            now = now.addSecs(5);
            if (poll >= polls)
                app.quit();
            else
                QTimer::singleShot(0, &store, &FlightStore::fetchNow);
        });
    stopOnPollError(store);
    store.setHome(HomeLocation { 45.5, -122.6, u"Home"_s });
    app.exec();
    serverProcess.kill();
    serverProcess.waitForFinished();
    const double drift = std::max(highMB - startMB, startMB - lowMB) / startMB * 100.0;
    std::printf("RSS over every poll from the start on: %.1f MB at the start, %.1f MB at the "
                "end, %.1f to %.1f MB between: within %.1f %% of the start (target 10 %%, %s); "
                "below 150 MB: %s\n",
        startMB, endMB, lowMB, highMB, drift, drift <= 10.0 ? "met" : "NOT MET",
        highMB < 150.0 ? "met" : "NOT MET");
    std::printf("%d polls in %.0f s, %.1f ms a poll (fetch, decode, apply, alerts, logbook; the "
                "server answers beside them)\n",
        applied, elapsed.elapsed() / 1000.0, double(elapsed.elapsed()) / applied);
    return 0;
}
