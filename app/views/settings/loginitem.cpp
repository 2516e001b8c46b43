// SPDX-License-Identifier: GPL-3.0-or-later
#include "loginitem.h"

#include "safefile.h"
#include "schemehandler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

LoginItem::LoginItem()
    : LoginItem(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                    .filePath(u"autostart"_s),
        QCoreApplication::applicationFilePath())
{
}

LoginItem::LoginItem(const QString &autostartFolder, const QString &executablePath)
    : m_folder(autostartFolder)
    , m_executable(executablePath)
{
}

QString LoginItem::entryPath() const
{
    return QDir(m_folder).filePath(u"skyvelle.desktop"_s);
}

bool LoginItem::isEnabled() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('['))
            inMainGroup = line == "[Desktop Entry]";
        else if (inMainGroup && line.startsWith("Hidden") && line.mid(6).trimmed() == "=true")
            return false;
    }
    return true;
}

bool LoginItem::setEnabled(bool enabled, QString *error)
{
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        *error = file.errorString();
        return false;
    }
    if (!QDir().mkpath(m_folder)) {
        *error = u"Cannot create the folder %1"_s.arg(m_folder);
        return false;
    }
    // The same entry as the one that opens skyvelle:// links: a launcher runs it with no link.
    return SafeFile::write(path, SchemeHandler::desktopEntry(m_executable), error);
}
