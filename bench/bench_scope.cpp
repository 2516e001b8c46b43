// SPDX-License-Identifier: GPL-3.0-or-later
// Paints the sky board at scale 2 from an entry of 2,000 aircraft, the way the widget host
// refreshes it, and prints the median and 95th percentile beside the target. With an output
// folder as argument it also writes the four widgets of the sample entry there as PNGs.
#include "benchstats.h"
#include "widgetrender.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

SkyEntry crowdedEntry(int count)
{
    SkyEntry entry;
    entry.date = QDateTime::currentDateTime();
    entry.home = HomeLocation { 45.5, -122.6, u"Home"_s };
    entry.accentHex = u"#73FF99"_s;
    for (int i = 0; i < count; ++i) {
        Aircraft aircraft;
        aircraft.hex = QString::asprintf("%06x", 0xa00000 + i);
        aircraft.flight = QString::asprintf("SKY%04d ", i);
        aircraft.typeCode = u"B738"_s;
        aircraft.altBaro = Altitude::feet(1000 + 17 * i);
        aircraft.track = (i * 37) % 360;
        aircraft.distanceNM = 0.0125 * (i + 1);
        aircraft.directionDeg = (i * 53) % 360;
        aircraft.dbFlags = i % 50 == 0 ? 1 : 0;
        entry.aircraft.append(aircraft);
    }
    return entry;
}

void writeSamples(const QString &folder)
{
    const SkyEntry sample = sampleEntry(u"#73FF99"_s);
    const std::pair<WidgetLayout, const char *> layouts[] {
        { WidgetLayout::NearestSmall, "nearest-small" },
        { WidgetLayout::RadarSmall, "radar-small" },
        { WidgetLayout::RadarMedium, "radar-medium" },
        { WidgetLayout::SkyBoardLarge, "skyboard-large" },
    };
    for (const auto &[layout, name] : layouts) {
        const QString path = QDir(folder).filePath(u"scope-%1.png"_s.arg(QLatin1StringView(name)));
        const bool written = WidgetRender::render(layout, sample, 2).save(path);
        std::printf("%s %s\n", written ? "wrote" : "could not write", qPrintable(path));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc > 1)
        writeSamples(QString::fromLocal8Bit(argv[1]));

    const SkyEntry entry = crowdedEntry(2000);
    constexpr int runs = 200;
    std::vector<double> ms;
    for (int i = 0; i < runs + 10; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QImage image = WidgetRender::render(WidgetLayout::SkyBoardLarge, entry, 2);
        // The first runs load fonts and fill glyph caches; the host pays that once.
        if (i >= 10)
            ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("sky board, 2,000 aircraft, scale 2  median %6.2f ms   p95 %6.2f ms   "
                "(target 10 ms)\n",
        percentile(ms, 0.5), percentile(ms, 0.95));
    return 0;
}
