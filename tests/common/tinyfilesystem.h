// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

// A real, tiny tmpfs mounted on a temporary folder, for tests of what happens when the disk is
// full or read-only. Mounting needs root (CI runs as root); isMounted() says whether it worked,
// and skipReason() what to print when it did not.
class TinyFilesystem {
public:
    explicit TinyFilesystem(int kibibytes = 256);
    ~TinyFilesystem();
    TinyFilesystem(const TinyFilesystem &) = delete;
    TinyFilesystem &operator=(const TinyFilesystem &) = delete;

    bool isMounted() const { return m_mounted; }
    QString skipReason() const { return m_reason; }
    QString path() const { return m_dir.path(); }

    // Fills every free block with a filler file, so the next write fails with "no space".
    bool fill();
    // Removes the filler.
    bool makeRoom();
    // Remounts read-only (or writable again).
    bool setReadOnly(bool readOnly);

private:
    QTemporaryDir m_dir;
    QString m_reason;
    int m_kibibytes;
    bool m_mounted = false;
};
