// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the two per-poll consumers of a 2,000-aircraft answer, the alert engine with every rule
// on and the sighting logbook, and prints the median and 95th percentile of each.
#include "aircraftdecoder.h"
#include "alertengine.h"
#include "benchstats.h"
#include "preferences.h"
#include "sightinglog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The fixture's records, spread around home so that some pass overhead, and some squawking
// emergencies, military or flying low.
QList<Aircraft> sky(const QString &fixturePath, int count)
{
    QFile file(fixturePath);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(fixturePath));
    const QJsonArray samples =
        QJsonDocument::fromJson(file.readAll()).object().value(u"ac").toArray();
    QJsonArray list;
    for (int i = 0; i < count; ++i) {
        QJsonObject record = samples.at(i % samples.size()).toObject();
        record.insert(u"hex", QString::asprintf("%06x", 0xa00000 + i));
        record.insert(u"dst", 0.01 * i);
        record.insert(u"lat", 45.0 + (i % 40 - 20) * 0.002);
        record.insert(u"lon", -122.0 + (i % 37 - 18) * 0.002);
        record.insert(u"track", double(i * 7 % 360));
        record.insert(u"gs", 120.0 + i % 300);
        record.insert(u"alt_baro", 500 + (i * 97) % 38000);
        if (i % 50 == 0)
            record.insert(u"squawk", u"7700"_s);
        if (i % 40 == 0)
            record.insert(u"dbFlags", 1);
        list.append(record);
    }
    QJsonObject envelope;
    envelope.insert(u"ac", list);
    AircraftDecoder decoder;
    const auto response =
        decoder.decodeResponse(QJsonDocument(envelope).toJson(QJsonDocument::Compact));
    if (!response || !response->ac || response->ac->size() != count)
        qFatal("decode failed");
    return *response->ac;
}

template<typename Work>
void measure(const char *name, int runs, Work work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("%-44s min %6.3f ms   median %6.3f ms   p95 %6.3f ms\n", name, percentile(ms, 0.0),
        percentile(ms, 0.5), percentile(ms, 0.95));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString fixture =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(SKYVELLE_FIXTURE);
    const QList<Aircraft> aircraft = sky(fixture, 2000);
    const HomeLocation home { 45.0, -122.0, u"Home"_s };

    QTemporaryDir dir;
    Preferences preferences(dir.filePath(u"Skyvelle.conf"_s));
    preferences.setAlertsEnabled(true);
    preferences.setAlertFlyover(true);
    preferences.setAlertMilitary(true);
    preferences.setAlertHelicopters(true);
    preferences.setAlertLowAltitude(true);
    preferences.setAlertRangeMiles(25);
    preferences.setAlertWatchlist(u"N196QX, ASA8780, a00010, UAL1, DAL2, N12345"_s);

    // No notifier: what is timed is the rules and the cooldown book-keeping, not D-Bus.
    QDateTime now = QDateTime::currentDateTimeUtc();
    AlertEngine engine(&preferences, nullptr);
    engine.setClock([&now] { return now; });
    int alerts = 0;
    QObject::connect(&engine, &AlertEngine::alerted, &engine, [&alerts] { ++alerts; });
    engine.evaluate(aircraft, home);
    std::printf("first evaluation: %d alerts\n", alerts);

    measure("evaluate, all rules on (in cooldown)", 200, [&] {
        now = now.addSecs(5);
        engine.evaluate(aircraft, home);
    });
    measure("evaluate, all rules on (cooldowns over)", 50, [&] {
        now = now.addSecs(1800);
        engine.evaluate(aircraft, home);
    });

    SightingLog log(dir.filePath(u"data"_s));
    log.setClock([&now] { return now; });
    log.record(aircraft);
    measure("record, all counted already", 200, [&] {
        now = now.addSecs(5);
        log.record(aircraft);
    });
    measure("record, a new day (all new)", 50, [&] {
        now = now.addDays(1);
        log.record(aircraft);
    });
    return 0;
}
