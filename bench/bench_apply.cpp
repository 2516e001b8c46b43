// SPDX-License-Identifier: GPL-3.0-or-later
// Times the flight store's apply step for 2,000 aircraft that all move on every poll: the
// trails brought up to date, the signals, and one listener building the displayed list through
// the filters and the search, as the list and the map do. The answers come from a local HTTP
// server through the store's own poll; only the apply is timed: from the store reading its
// clock, which it does first thing when applying an answer, to answerApplied, its last signal.
#include "benchstats.h"
#include "churningfeed.h"
#include "flightstore.h"
#include "preferences.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int aircraftCount = 2000;
constexpr double targetMs = 1.0;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int measured = argc > 1 ? std::max(1, atoi(argv[1])) : 100;

    ChurningServer server(QStringLiteral(SKYVELLE_FIXTURE), aircraftCount, 10);
    QTemporaryDir dir;
    Preferences preferences(dir.filePath(u"Skyvelle.conf"_s));
    QNetworkAccessManager network;
    FlightStore store(&preferences, &network, server.services(), dir.filePath(u"data"_s));

    QElapsedTimer timer;
    // In UTC: stepping a local time looks up the time zone each time, which is no part of
    // the apply step though it would be timed with it.
    QDateTime now = QDateTime::currentDateTimeUtc();
    store.setClock([&] {
        timer.start();
        now = now.addSecs(5);
        return now;
    });
    qsizetype displayed = 0;
    // The listener's own time: building the displayed list, the store's first ask after a poll.
    QElapsedTimer listener;
    qint64 listenerNs = 0;
    QObject::connect(&store, &FlightStore::displayedAircraftChanged, &store, [&] {
        listener.start();
        displayed = store.displayedAircraft().size();
        listenerNs = listener.nsecsElapsed();
    });

    // The trails fill up to their limit during the warm-up, as they have after a minute.
    const int warmUp = preferences.trailPointLimit() + 5;
    std::vector<double> plain;
    std::vector<double> filtered;
    std::vector<double> filteredList;
    QObject::connect(&store, &FlightStore::answerApplied, &store, [&] {
        const double ms = timer.nsecsElapsed() / 1e6;
        const int poll = server.polls();
        if (poll > warmUp && poll <= warmUp + measured)
            plain.push_back(ms);
        else if (poll > warmUp + measured && poll <= warmUp + 2 * measured) {
            filtered.push_back(ms);
            filteredList.push_back(listenerNs / 1e6);
        }
        if (poll == warmUp + measured) {
            store.setActiveFilters({ AircraftFilter::military, AircraftFilter::lowAltitude,
                AircraftFilter::airliners });
            store.setSearchText(u"a"_s);
        }
        if (poll >= warmUp + 2 * measured)
            app.quit();
        else
            QTimer::singleShot(0, &store, &FlightStore::fetchNow);
    });
    stopOnPollError(store);
    store.setHome(HomeLocation { 45.5, -122.6, u"Home"_s });
    app.exec();

    qsizetype points = 0;
    for (const auto &trail : store.trails())
        points += trail.size();
    std::printf("apply: %d aircraft moving on every poll, 10 arriving and 10 leaving; "
                "%lld trail points (limit %d each); %d polls each, medians\n",
        aircraftCount, static_cast<long long>(points), preferences.trailPointLimit(), measured);
    const auto print = [](const char *name, const std::vector<double> &ms) {
        std::printf("%-44s median %6.3f ms   p95 %6.3f ms\n", name, percentile(ms, 0.5),
            percentile(ms, 0.95));
    };
    print("apply, no filter (trails + displayed list)", plain);
    std::printf(
        "  displayed after the filtered run: %lld aircraft\n", static_cast<long long>(displayed));
    print("apply, 3 filters and a search", filtered);
    print("  of which the filtered list", filteredList);
    const auto target = [](const char *name, const std::vector<double> &ms) {
        const double median = percentile(ms, 0.5);
        std::printf("target: apply < %.1f ms, %-9s %.3f ms, %s\n", targetMs, name, median,
            median < targetMs ? "met" : "NOT MET");
    };
    target("no filter", plain);
    target("filtered", filtered);
    return 0;
}
