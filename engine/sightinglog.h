// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "hexset.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimeZone>
#include <QTimer>

#include <functional>
#include <optional>

// Running statistics of the aircraft seen around home: how many different aircraft each local
// day, in which hour they first showed up, a running total, and when each aircraft type was
// first seen. Kept in "logbook.json" in the data folder, written at most once a minute and
// when the application quits.
class SightingLog : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    struct DayStats {
        qint64 count = 0;
        // Always 24 entries, one per local hour.
        QList<qint64> byHour = QList<qint64>(24, 0);

        friend bool operator==(const DayStats &, const DayStats &) = default;
    };

    // Everything the file holds.
    struct Store {
        QMap<QString, DayStats> days; // by day key, "yyyy-MM-dd"
        QMap<QString, QDateTime> typesFirstSeen; // by upper-case type code
        qint64 totalUnique = 0;
        QString seenDayKey;
        HexSet seenHexes; // counted on seenDayKey already

        friend bool operator==(const Store &, const Store &) = default;
    };

    struct DayPoint {
        QString id; // day key
        QString label; // "M/d"
        qint64 count = 0;
    };

    struct NewType {
        QString id; // type code
        QString name;
        QDateTime date;
    };

    static constexpr int saveIntervalMs = 60 * 1000;

    // Loads "logbook.json" from @p directory. A file that is there but cannot be read is set
    // aside as "logbook.json.bad" before the first save replaces it.
    explicit SightingLog(const QString &directory, QObject *parent = nullptr);
    ~SightingLog() override;

    // Replace the wall clock and the local time zone that day keys and hours follow (tests).
    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setTimeZone(const QTimeZone &zone) { m_zone = zone; }
    QTimeZone timeZone() const { return m_zone; }

    QString filePath() const;
    const Store &store() const { return m_store; }
    // Whether the store holds counts that are not in the file yet.
    bool isDirty() const { return m_dirty; }

    // Counts the aircraft of one feed answer that were not counted yet today.
    void record(const QList<Aircraft> &aircraft);

    qint64 todayCount() const;
    qint64 lastSevenDaysCount() const;
    // @p n days ending today, oldest first, stepped back by whole 24-hour periods.
    QList<DayPoint> lastDays(int n) const;
    // Per local hour, the sum over the days of lastDays(14).
    QList<qint64> hourlyProfile() const;
    // At most @p limit types, most recently first seen first.
    QList<NewType> recentNewTypes(int limit) const;

    // Writes the file when something changed since the last successful write. A write that
    // fails leaves the store dirty, so the next call tries again.
    void saveIfDirty();
    // Why the last save failed, in one line (a full disk, a read-only folder); empty once a
    // save succeeds.
    QString saveError() const { return m_saveError; }

    static QByteArray encode(const Store &store);
    // Absent unless every member is there with the right type. A byHour list of another
    // length is padded with zeros or cut to 24.
    static std::optional<Store> decode(const QByteArray &bytes);

Q_SIGNALS:
    // The store changed: an aircraft was counted or the day rolled over.
    void changed();
    void saveErrorChanged();

private:
    void load();
    void pruneIfNeeded(const QDateTime &now);
    bool setBadFileAside();
    QString dayKey(const QDateTime &instant) const;
    void setSaveError(const QString &error);

    QString m_directory;
    Clock m_clock;
    QTimeZone m_zone;
    Store m_store;
    bool m_dirty = false;
    // The file on disk could not be read; keep it before overwriting it.
    bool m_fileIsBad = false;
    QString m_saveError;
    QTimer m_saveTimer;
};
