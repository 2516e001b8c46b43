// SPDX-License-Identifier: GPL-3.0-or-later
#include "safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString describe(const QString &path, int code)
{
    return u"Couldn't write %1: %2"_s.arg(path, QString::fromLocal8Bit(std::strerror(code)));
}

// Writes all of @p bytes, retrying short writes; false with errno set on the first failure.
bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

// The hidden name a new copy is written under until it replaces the file: a dot, the file's
// name, a dot and mkstemp's six characters.
QByteArray temporaryPattern(const QByteArray &target)
{
    const qsizetype slash = target.lastIndexOf('/');
    return target.left(slash + 1) + '.' + target.mid(slash + 1) + ".XXXXXX";
}

// Removes the copies a writer killed before its rename left behind. They are the user's own
// plain files, named as temporaryPattern() names them, and older than any save takes; anything
// else, such as a backup the user made, stays.
void removeAbandonedCopies(const QString &path)
{
    constexpr qint64 ageSeconds = 10 * 60;
    const QFileInfo file(path);
    const QString prefix = u'.' + file.fileName() + u'.';
    const QDir folder = file.dir();
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (name.size() != prefix.size() + 6 || !name.startsWith(prefix))
            continue;
        const QStringView suffix = QStringView(name).mid(prefix.size());
        if (!std::all_of(suffix.begin(), suffix.end(),
                [](QChar c) { return c.isDigit() || (c.unicode() < 128 && c.isLetter()); }))
            continue;
        const QByteArray copy = QFile::encodeName(folder.filePath(name));
        struct stat info { };
        if (::lstat(copy.constData(), &info) == 0 && S_ISREG(info.st_mode)
            && info.st_uid == ::geteuid() && ::time(nullptr) - info.st_mtime > ageSeconds)
            ::unlink(copy.constData());
    }
}

} // namespace

namespace SafeFile {

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = temporaryPattern(target);
    // mkstemp creates the file exclusively with mode 0600, so nothing planted beside the
    // target can be written through.
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        if (error)
            *error = describe(path, errno);
        return false;
    }

    struct stat existing { };
    if (::lstat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);

    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    int code = errno;
    // close() reports what a network filesystem could not store.
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    // rename() replaces a symbolic link itself rather than the file it points to.
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        if (error)
            *error = describe(path, code);
        return false;
    }
    // The rename itself reaches the disk with the folder's entry; without this a power cut
    // right after a save could bring the old file back.
    const QByteArray folder = QFile::encodeName(path.left(path.lastIndexOf(u'/') + 1));
    const int dirFd =
        ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    removeAbandonedCopies(path);
    return true;
}

bool isOwnOrAbsent(const QString &path)
{
    struct stat info { };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

AppendResult append(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == ELOOP ? AppendResult::refused : AppendResult::unopenable;
    // O_NONBLOCK keeps a planted FIFO from hanging the open; fstat then refuses it.
    struct stat opened { };
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != ::geteuid()) {
        ::close(fd);
        return AppendResult::refused;
    }
    const bool ok = writeAll(fd, bytes);
    return ::close(fd) == 0 && ok ? AppendResult::appended : AppendResult::failed;
}

} // namespace SafeFile
