// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostartentry.h"

#include "safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// The desktop entry specification's quoting for an argument of Exec: a path with spaces or
// shell characters stays one argument, and a "%" is not a field code.
QString quotedArgument(QString argument)
{
    for (const QString &special : { u"\\"_s, u"\""_s, u"`"_s, u"$"_s })
        argument.replace(special, u"\\"_s + special);
    argument.replace(u"%"_s, u"%%"_s);
    return u"\""_s + argument + u"\""_s;
}

QByteArray entry(const QString &executable)
{
    const QString text = u"[Desktop Entry]\n"
                         "Type=Application\n"
                         "Name=Skyvelle Widgets\n"
                         "Comment=Live aircraft around home on the desktop\n"
                         "Exec=%1\n"
                         "Icon=skyvelle\n"
                         "NoDisplay=true\n"
                         "X-GNOME-Autostart-enabled=true\n"_s.arg(quotedArgument(executable));
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
