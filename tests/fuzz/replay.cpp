// SPDX-License-Identifier: GPL-3.0-or-later
// Replays every file of the fuzz corpus through the entry point its folder names, in the normal
// build, so that a decoder change that breaks on an input once found stops the test run.
#include "fuzzentries.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    int failures = 0;
    for (const FuzzEntries::Target &target : FuzzEntries::targets()) {
        const QDir folder(corpus.filePath(target.name));
        const QStringList files = folder.entryList(QDir::Files, QDir::Name);
        // A folder that vanished would make the test pass on nothing.
        if (files.isEmpty()) {
            std::fprintf(stderr, "%s: no corpus files\n", qPrintable(target.name));
            ++failures;
            continue;
        }
        for (const QString &name : files) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "%s: cannot read\n", qPrintable(file.fileName()));
                ++failures;
                continue;
            }
            // A crash or an abort here names the input on the line above it.
            std::fprintf(stderr, "%s/%s\n", qPrintable(target.name), qPrintable(name));
            target.run(file.readAll());
        }
        std::printf("%s: %lld inputs\n", qPrintable(target.name), qlonglong(files.size()));
    }
    return failures == 0 ? 0 : 1;
}
