// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// The plain-text diagnostic log: one line per message, "2026-12-08 15:16:50 +0000 message",
/// appended to a file that is always written and never reports a failure.
class DebugLog {
public:
    /// Where the log goes unless SKYVELLE_DEBUG_LOG names another file.
    static QString defaultPath();
    /// Past this size the file is moved to "<path>.1" (replacing an older one) and begun anew.
    static constexpr qint64 rotateBytes = 1024 * 1024;

    explicit DebugLog(const QString &path = defaultPath());

    QString path() const { return m_path; }

    /// Appends one line. Control characters, line feeds included, are shown as "\xNN", so text
    /// from outside (a link) cannot forge lines or reach a terminal; a very long message is cut.
    void write(const QString &message) const;
    /// Appends a message of several lines: the first after the time, the others as they are.
    void write(const QStringList &lines) const;

private:
    QString m_path;
};
