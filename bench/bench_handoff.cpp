// SPDX-License-Identifier: GPL-3.0-or-later
// A second launch of Skyvelle while one runs: from starting the process to its exit, having
// handed its link to the first. Starts the real executable, offscreen, with private folders;
// prints the median and 95th percentile over 30 launches beside the 200 ms target.
#include "benchstats.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr double targetMs = 200.0;
constexpr int launches = 30;

bool waitForLog(const QString &path, const QByteArray &text, int count)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        QFile log(path);
        if (log.open(QIODevice::ReadOnly) && log.readAll().count(text) >= count)
            return true;
        QThread::msleep(20);
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    QDir root(home.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto &[variable, folder] :
        { std::pair { "XDG_RUNTIME_DIR", "runtime" }, { "XDG_CONFIG_HOME", "config" },
            { "XDG_DATA_HOME", "data" }, { "XDG_CACHE_HOME", "cache" } }) {
        root.mkpath(QString::fromLatin1(folder));
        environment.insert(
            QString::fromLatin1(variable), root.filePath(QString::fromLatin1(folder)));
    }
    const QString log = root.filePath(u"debug.log"_s);
    environment.insert(u"SKYVELLE_DEBUG_LOG"_s, log);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);

    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QStringLiteral(SKYVELLE_EXECUTABLE), {});
    if (!first.waitForStarted() || !waitForLog(log, "launched;", 1)) {
        std::fprintf(stderr, "the first Skyvelle did not start\n");
        return 1;
    }

    std::vector<double> ms;
    for (int i = 0; i < launches; ++i) {
        QProcess second;
        second.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        second.start(QStringLiteral(SKYVELLE_EXECUTABLE), { u"skyvelle://aircraft/a%1"_s.arg(i) });
        if (!second.waitForFinished(10000) || second.exitCode() != 0) {
            std::fprintf(stderr, "launch %d did not hand over\n", i);
            return 1;
        }
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    const bool allArrived = waitForLog(log, "GetURL: skyvelle://aircraft/a", launches);
    first.terminate();
    first.waitForFinished();

    std::printf("second launch to exit, link handed over (%d launches, %s)\n", launches,
        allArrived ? "all links arrived" : "SOME LINKS LOST");
    std::printf("  median %6.1f ms   p95 %6.1f ms   target %.0f ms\n", percentile(ms, 0.5),
        percentile(ms, 0.95), targetMs);
    return allArrived ? 0 : 1;
}
