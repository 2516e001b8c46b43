// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the widgets' entry the way the host does on each refresh: reads widget-config.json,
// fetches 2,000 aircraft from a feed on 127.0.0.1 and decodes them. Prints the median and 95th
// percentile beside the target. The local server answers from the same thread, so its time
// to send the answer is counted too.
#include "benchstats.h"
#include "sharedstate.h"
#include "skyprovider.h"
#include "testserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int aircraftCount = 2000;
constexpr int runs = 100;

// A feed answer with every field the decoder reads, aircraft spread over 100 nm.
QByteArray crowdedFeed()
{
    QJsonArray aircraft;
    for (int i = 0; i < aircraftCount; ++i) {
        aircraft.append(QJsonObject { { u"hex"_s, QString::asprintf("%06x", 0xa00000 + i) },
            { u"flight"_s, QString::asprintf("SKY%04d ", i) }, { u"r"_s, u"N%1SK"_s.arg(i) },
            { u"t"_s, u"B738"_s }, { u"alt_baro"_s, 1000 + 17 * i }, { u"gs"_s, 300 + i % 200 },
            { u"track"_s, (i * 37) % 360 }, { u"lat"_s, 48.2 + 0.0007 * (i % 100) },
            { u"lon"_s, -123.0 + 0.0009 * (i / 20) }, { u"dst"_s, 0.05 * (i + 1) },
            { u"dir"_s, (i * 53) % 360 }, { u"squawk"_s, u"1200"_s }, { u"seen_pos"_s, 1 } });
    }
    return QJsonDocument(QJsonObject { { u"ac"_s, aircraft } }).toJson(QJsonDocument::Compact);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir data;
    TestServer server;
    const QByteArray feed = crowdedFeed();
    server.setPrefixReply(u"/v2/point/"_s, { .body = feed });
    if (!SharedState::write(
            { { 48.2, -123.0, u"Home"_s }, 100, u"nm"_s, u"#73FF99"_s }, data.path())) {
        std::fprintf(stderr, "could not write the configuration\n");
        return 1;
    }

    QNetworkAccessManager network;
    const Services services =
        Services::withOverrides({ { u"feedPrimary"_s, server.baseUrl().toString() },
            { u"feedSecondary"_s, server.baseUrl().toString() } });
    SkyProvider provider(&network, services, data.path(), RequestOptions { "bench" });

    std::vector<double> milliseconds;
    qsizetype decoded = 0;
    for (int run = 0; run < runs + 1; ++run) {
        QEventLoop loop;
        QElapsedTimer clock;
        clock.start();
        provider.liveEntry([&](const SkyEntry &entry) {
            decoded = entry.aircraft.size();
            loop.quit();
        });
        loop.exec();
        if (run > 0) // the first opens the connection
            milliseconds.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    if (decoded != aircraftCount) {
        std::fprintf(stderr, "decoded %lld aircraft, not %d\n", qlonglong(decoded), aircraftCount);
        return 1;
    }
    std::printf("widget entry, %d aircraft (%.1f MB)  median %6.2f ms   p95 %6.2f ms   "
                "(target 10 ms)\n",
        aircraftCount, double(feed.size()) / 1e6, percentile(milliseconds, 0.5),
        percentile(milliseconds, 0.95));
    return 0;
}
