// SPDX-License-Identifier: GPL-3.0-or-later
#include "tinyfilesystem.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray options(int kibibytes)
{
    return "size=" + QByteArray::number(kibibytes) + "k,mode=0755";
}

} // namespace

TinyFilesystem::TinyFilesystem(int kibibytes)
    : m_kibibytes(kibibytes)
{
    if (!m_dir.isValid()) {
        m_reason = u"no temporary folder"_s;
        return;
    }
    const QByteArray target = QFile::encodeName(m_dir.path());
    if (::mount("tmpfs", target.constData(), "tmpfs", 0, options(kibibytes).constData()) != 0) {
        m_reason = u"cannot mount a tmpfs here (%1); run as root to test a full disk"_s.arg(
            QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

TinyFilesystem::~TinyFilesystem()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

bool TinyFilesystem::fill()
{
    const QByteArray filler = QFile::encodeName(m_dir.path() + u"/filler"_s);
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray block(4096, 'x');
    while (::write(fd, block.constData(), size_t(block.size())) > 0) { }
    // Whatever part of a block is left takes single bytes.
    while (::write(fd, "x", 1) > 0) { }
    const bool full = errno == ENOSPC;
    ::close(fd);
    return full;
}

bool TinyFilesystem::makeRoom()
{
    return QFile::remove(m_dir.path() + u"/filler"_s);
}

bool TinyFilesystem::setReadOnly(bool readOnly)
{
    const QByteArray target = QFile::encodeName(m_dir.path());
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return ::mount("tmpfs", target.constData(), "tmpfs", flags, options(m_kibibytes).constData())
        == 0;
}
