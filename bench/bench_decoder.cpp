// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes a realistic 2,000-aircraft feed answer the way every poll does, and prints the
// median and 95th percentile, with QJsonDocument's plain parse of the same bytes for scale.
#include "adsb.h"
#include "aircraftdecoder.h"
#include "benchstats.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray bigAnswer(const QString &fixturePath, int count)
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
        record.insert(u"dst", 0.1 * (count - i));
        record.insert(u"lat", 45.0 + i * 0.001);
        record.insert(u"lon", -122.0 - i * 0.001);
        record.insert(u"seen_pos", 1.5);
        list.append(record);
    }
    QJsonObject envelope;
    envelope.insert(u"ac", list);
    envelope.insert(u"msg", QStringLiteral("No error"));
    envelope.insert(u"now", 1.7e12);
    return QJsonDocument(envelope).toJson(QJsonDocument::Compact);
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
    std::printf(
        "%-34s median %6.2f ms   p95 %6.2f ms\n", name, percentile(ms, 0.5), percentile(ms, 0.95));
}

} // namespace

int main(int argc, char **argv)
{
    const QString fixture =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(SKYVELLE_FIXTURE);
    const QByteArray body = bigAnswer(fixture, 2000);
    std::printf("answer: 2000 aircraft, %.2f MB\n", body.size() / 1e6);

    AircraftDecoder decoder;
    measure("decode + filter + sort (simdjson)", 100, [&] {
        const auto response = decoder.decodeResponse(body);
        if (!response || ADSB::usableAircraft(*response->ac).size() != 2000)
            qFatal("decode failed");
    });
    measure("QJsonDocument parse only", 30, [&] {
        if (QJsonDocument::fromJson(body).isNull())
            qFatal("parse failed");
    });
    return 0;
}
