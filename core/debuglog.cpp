// SPDX-License-Identifier: GPL-3.0-or-later
#include "debuglog.h"

#include "safefile.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A link of megabytes is cut well before it reaches the file.
constexpr qsizetype maxMessageChars = 16 * 1024;

QString printable(const QString &message)
{
    QString out;
    out.reserve(std::min(message.size(), maxMessageChars) + 16);
    for (const QChar c : QStringView(message).left(maxMessageChars)) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != 0x7f && !(u >= 0x80 && u < 0xa0))
            out += c;
        else
            out += u"\\x%1"_s.arg(uint(u), 2, 16, QLatin1Char('0'));
    }
    if (message.size() > maxMessageChars)
        out += u"… (%1 characters)"_s.arg(message.size());
    return out;
}

// Moves a log that has grown past the cap aside, once, so months of running cannot fill the
// disk. Only the user's own plain file is moved; rename() moves a link itself, never its target.
void rotateIfLarge(const QByteArray &path)
{
    struct stat info { };
    if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
        && info.st_size > DebugLog::rotateBytes)
        ::rename(path.constData(), (path + ".1").constData());
}

} // namespace

QString DebugLog::defaultPath()
{
    const QString custom = qEnvironmentVariable("SKYVELLE_DEBUG_LOG");
    return custom.isEmpty() ? u"/tmp/skyvelle-debug.log"_s : custom;
}

DebugLog::DebugLog(const QString &path)
    : m_path(path)
{
}

void DebugLog::write(const QString &message) const
{
    write(QStringList { message });
}

void DebugLog::write(const QStringList &lines) const
{
    QString text =
        QDateTime::currentDateTimeUtc().toString(u"yyyy-MM-dd HH:mm:ss"_s) + u" +0000 "_s;
    for (const QString &line : lines)
        text += printable(line) + u'\n';
    const QByteArray bytes = text.toUtf8();
    rotateIfLarge(QFile::encodeName(m_path));
    // A file that cannot be opened for appending (read-only, say) is replaced as a whole.
    if (SafeFile::append(m_path, bytes) == SafeFile::AppendResult::unopenable
        && SafeFile::isOwnOrAbsent(m_path))
        SafeFile::write(m_path, bytes);
}
