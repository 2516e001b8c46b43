// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

/// Replacing a data file so that no failure can leave it damaged.
namespace SafeFile {

/// Replaces the file at @p path with @p bytes. The bytes go to a new file in the same folder,
/// every write is checked, the file is flushed to disk and only then renamed over @p path; on
/// any failure (a full disk, a read-only folder) the new file is removed and the previous file
/// stays exactly as it was. A symbolic link at @p path is replaced itself, never followed. The
/// file keeps the permissions of the plain file it replaces; a new one is readable by the user
/// alone. The folder must exist. On failure, @p error (when given) says why in one line.
/// The new file is hidden beside the target until the rename; a successful write removes the
/// ones that writers killed mid-save left there more than ten minutes before.
bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

/// True when nothing is at @p path, or a plain file the user owns: what a write may replace in a
/// folder other users share (/tmp), where anyone can plant a name first.
bool isOwnOrAbsent(const QString &path);

/// What append() did.
enum class AppendResult {
    appended,
    refused, ///< a link, not a plain file, or someone else's file: nothing written
    unopenable, ///< the file could not be opened for writing (a read-only file, a missing folder)
    failed, ///< opened, but a write failed (a full disk)
};

/// Appends @p bytes to the file at @p path, creating it readable by the user alone. For files
/// in a folder other users share (/tmp), where anyone can plant a name first: a symbolic link
/// is never followed, and anything but a plain file the user owns is refused.
AppendResult append(const QString &path, const QByteArray &bytes);

} // namespace SafeFile
