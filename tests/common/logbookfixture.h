// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sightinglog.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

// What the logbook's tests share: a log in a temporary folder on a clock the test moves, in a
// local time one hour ahead of UTC so that day keys and hours are visibly local.
class LogbookFixture {
public:
    static inline const QTimeZone zone { 3600 };

    // Noon local time, @p daysAgo before 7 December 2026.
    static QDateTime noon(int daysAgo = 0)
    {
        return QDateTime(QDate(2026, 12, 7).addDays(-daysAgo), QTime(12, 0), zone).toUTC();
    }

    static Aircraft seen(const QString &hex, const std::optional<QString> &type = std::nullopt)
    {
        Aircraft a;
        a.hex = hex;
        a.typeCode = type;
        return a;
    }

    // Aircraft "a<from>" … "a<to - 1>".
    static QList<Aircraft> fleet(int from, int to)
    {
        QList<Aircraft> list;
        for (int i = from; i < to; ++i)
            list << seen(QStringLiteral("a%1").arg(i));
        return list;
    }

    // A fresh folder and the clock at noon; call from the test's init().
    void reset()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir().mkpath(directory());
        m_now = noon();
    }

    QString directory() const { return m_dir->filePath(QStringLiteral("Skyvelle")); }
    QString file() const { return directory() + QStringLiteral("/logbook.json"); }
    QString tempPath(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<SightingLog> makeLog(const QString &dir = {})
    {
        auto log = std::make_unique<SightingLog>(dir.isEmpty() ? directory() : dir);
        log->setClock([this] { return m_now; });
        log->setTimeZone(zone);
        return log;
    }

protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    QDateTime m_now;
};
