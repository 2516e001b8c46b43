// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostartentry.h"

#include "desktopentry.h"
#include "safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

QByteArray entry(const QString &executable)
{
    const QString text =
        u"[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Skyvelle Widgets\n"
        "Comment=Live aircraft around home on the desktop\n"
        "Exec=%1\n"
        "Icon=skyvelle\n"
        "NoDisplay=true\n"
        "X-GNOME-Autostart-enabled=true\n"_s.arg(DesktopEntry::execArgument(executable));
    return text.toUtf8();
}

} // namespace

namespace AutostartEntry {

QString standardPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + u"/autostart/skyvelle-widgets.desktop"_s;
}

bool install(const QString &path, const QString &executable)
{
    const QByteArray bytes = entry(executable);
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return true;
    return QDir().mkpath(QFileInfo(path).absolutePath()) && SafeFile::write(path, bytes);
}

void remove(const QString &path)
{
    QFile::remove(path);
}

} // namespace AutostartEntry
