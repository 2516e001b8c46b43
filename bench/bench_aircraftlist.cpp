// SPDX-License-Identifier: GPL-3.0-or-later
// Applies 50 polls of 2,000 moving aircraft (some arriving, some leaving) to the sidebar's
// model and repaints the visible rows of a 310 × 700 list, offscreen. Prints the median and
// the 95th percentile per poll.
#include "aircraft.h"
#include "benchstats.h"
#include "preferences.h"
#include "views/aircraftlistmodel.h"
#include "views/aircraftrow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int aircraftCount = 2000;
constexpr int polls = 50;
constexpr int turnover = 20; // aircraft leaving and arriving per poll

struct Flight {
    Aircraft aircraft;
    double speedNM; // per poll, towards or away from home
};

Flight newFlight(QRandomGenerator &random, int serial)
{
    static const char *types[] = { "B738", "A320", "E75L", "B77W", "C172", "DH8D", "A21N", "PC12" };
    Flight f;
    Aircraft &a = f.aircraft;
    a.hex = QString::number(0xa00000 + serial, 16);
    a.flight = u"%1%2 "_s.arg(QChar(u'A' + serial % 26)).arg(100 + serial % 9000);
    a.registration = u"N%1"_s.arg(serial);
    a.typeCode = QString::fromLatin1(types[serial % 8]);
    a.altBaro = Altitude::feet(qint64(random.bounded(40000)));
    a.track = random.bounded(360.0);
    a.groundSpeed = 120 + random.bounded(350.0);
    a.distanceNM = random.bounded(250.0);
    a.dbFlags = serial % 97 == 0 ? 1 : 0;
    if (serial % 331 == 0)
        a.squawk = u"7700"_s;
    f.speedNM = random.bounded(1.2) - 0.6;
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(u"Fusion"_s);
    QTemporaryDir dir;
    Preferences preferences(dir.filePath(u"Skyvelle.conf"_s));

    AircraftListModel model(&preferences);
    AircraftRow delegate(&preferences);
    QListView list;
    list.setUniformItemSizes(true);
    list.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list.setItemDelegate(&delegate);
    list.setModel(&model);
    list.resize(310, 700);
    list.show();

    QRandomGenerator random(42);
    int serial = 0;
    std::vector<Flight> flights;
    for (; serial < aircraftCount; ++serial)
        flights.push_back(newFlight(random, serial));

    long moves = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsMoved, &model, [&moves] { ++moves; });
    QImage canvas(list.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> total, applying, painting;
    for (int poll = 0; poll <= polls; ++poll) {
        // Everyone moves; a few leave, as many arrive; the feed sorts nearest first.
        for (Flight &f : flights) {
            f.aircraft.distanceNM = std::max(0.0, *f.aircraft.distanceNM + f.speedNM);
            f.aircraft.track = std::fmod(*f.aircraft.track + 1.5, 360.0);
            f.aircraft.altBaro = Altitude::feet(f.aircraft.altBaro->feetValue().value_or(0) + 25);
        }
        for (int i = 0; i < turnover; ++i) {
            flights.erase(flights.begin() + random.bounded(int(flights.size())));
            flights.push_back(newFlight(random, serial++));
        }
        std::sort(flights.begin(), flights.end(), [](const Flight &x, const Flight &y) {
            return *x.aircraft.distanceNM < *y.aircraft.distanceNM;
        });
        QList<Aircraft> answer;
        answer.reserve(qsizetype(flights.size()));
        for (const Flight &f : flights)
            answer << f.aircraft;

        QElapsedTimer timer;
        timer.start();
        model.setAircraft(answer);
        QCoreApplication::processEvents(); // the view's delayed layout
        const double applied = double(timer.nsecsElapsed()) / 1e6;
        list.render(&canvas);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        if (poll == 0) {
            list.setCurrentIndex(model.index(5)); // a selection to carry along
            list.verticalScrollBar()->setValue(400);
            continue; // the first poll fills the empty list
        }
        total.push_back(elapsed);
        applying.push_back(applied);
        painting.push_back(elapsed - applied);
    }

    std::printf("bench_aircraftlist: %d aircraft, %d polls, %d leaving and %d arriving each\n",
        aircraftCount, polls, turnover, turnover);
    std::printf("  rows moved per poll: %.0f\n", double(moves) / (polls + 1));
    std::printf("  apply to model + layout: median %.2f ms, p95 %.2f ms\n",
        percentile(applying, 0.5), percentile(applying, 0.95));
    std::printf("  repaint visible rows:    median %.2f ms, p95 %.2f ms\n",
        percentile(painting, 0.5), percentile(painting, 0.95));
    std::printf("  per poll:                median %.2f ms, p95 %.2f ms\n", percentile(total, 0.5),
        percentile(total, 0.95));
    return 0;
}
