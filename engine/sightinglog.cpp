// SPDX-License-Identifier: GPL-3.0-or-later
#include "sightinglog.h"

#include "aircrafttypes.h"
#include "safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QString fileName = u"logbook.json"_s;
const QString badSuffix = u".bad"_s;

constexpr int hoursPerDay = 24;
constexpr qsizetype maxStoredDays = 120;
constexpr qint64 keptSeconds = 90 * 86400;
constexpr qint64 secondsPerDay = 86400;
// Seconds from 1970-01-01 to 2001-01-01, the reference date the file's dates count from.
constexpr double referenceOffsetSeconds = 978307200.0;
// A real logbook stays well under a megabyte (120 days of counts, the types, one day's hexes).
// Anything larger is not ours, and decoding it would stall the window at start for seconds.
constexpr qint64 maxFileBytes = 4 * 1024 * 1024;
// About ±3,000 years: keeps conversion to milliseconds far from overflowing.
constexpr double maxReferenceSeconds = 1e11;

// Counts saturate rather than overflow on a hand-edited file holding huge numbers.
qint64 plus(qint64 a, qint64 b)
{
    qint64 sum;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

std::optional<qint64> integer(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() answers the fallback for a fraction or a number beyond 64 bits; asking
    // with two fallbacks tells such a number from a genuine one.
    const qint64 a = value.toInteger(0);
    if (a != value.toInteger(1))
        return std::nullopt;
    return a;
}

std::optional<SightingLog::DayStats> decodeDay(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const auto count = integer(object.value("count"_L1));
    const QJsonValue hours = object.value("byHour"_L1);
    if (!count || !hours.isArray())
        return std::nullopt;
    SightingLog::DayStats day;
    day.count = *count;
    const QJsonArray array = hours.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        const auto n = integer(array.at(i));
        if (!n)
            return std::nullopt;
        if (i < hoursPerDay)
            day.byHour[i] = *n;
    }
    return day;
}

} // namespace

SightingLog::SightingLog(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_directory(directory)
    , m_clock([] { return QDateTime::currentDateTimeUtc(); })
    , m_zone(QTimeZone::systemTimeZone())
{
    load();
    m_saveTimer.setInterval(saveIntervalMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &SightingLog::saveIfDirty);
    m_saveTimer.start();
}

SightingLog::~SightingLog() = default;

QString SightingLog::filePath() const
{
    return QDir(m_directory).filePath(fileName);
}

void SightingLog::record(const QList<Aircraft> &aircraft)
{
    const QDateTime now = m_clock();
    const QDateTime local = now.toTimeZone(m_zone);
    const QString today = dayKey(now);

    bool rolledOver = false;
    if (m_store.seenDayKey != today) {
        m_store.seenDayKey = today;
        m_store.seenHexes.clear();
        rolledOver = true;
    }

    qint64 added = 0;
    for (const Aircraft &a : aircraft) {
        if (!m_store.seenHexes.insert(a.hex))
            continue;
        ++added;
        if (a.typeCode) {
            const QString code = a.typeCode->toUpper();
            if (!m_store.typesFirstSeen.contains(code))
                m_store.typesFirstSeen.insert(code, now);
        }
    }

    if (added > 0) {
        DayStats &day = m_store.days[today];
        day.count = plus(day.count, added);
        qint64 &hour = day.byHour[local.time().hour()];
        hour = plus(hour, added);
        m_store.totalUnique = plus(m_store.totalUnique, added);
        pruneIfNeeded(now);
        m_dirty = true;
    }
    if (added > 0 || rolledOver)
        Q_EMIT changed();
}

qint64 SightingLog::todayCount() const
{
    return m_store.days.value(dayKey(m_clock())).count;
}

qint64 SightingLog::lastSevenDaysCount() const
{
    qint64 sum = 0;
    for (const DayPoint &point : lastDays(7))
        sum = plus(sum, point.count);
    return sum;
}

QList<SightingLog::DayPoint> SightingLog::lastDays(int n) const
{
    QList<DayPoint> points;
    if (n <= 0)
        return points;
    points.reserve(n);
    const QDateTime now = m_clock();
    for (int i = n - 1; i >= 0; --i) {
        const QDateTime instant = now.addSecs(-qint64(i) * secondsPerDay);
        const QString key = dayKey(instant);
        const auto day = m_store.days.constFind(key);
        points.append({ key, instant.toTimeZone(m_zone).date().toString(u"M/d"_s),
            day == m_store.days.constEnd() ? 0 : day->count });
    }
    return points;
}

QList<qint64> SightingLog::hourlyProfile() const
{
    QList<qint64> profile(hoursPerDay, 0);
    for (const DayPoint &point : lastDays(14)) {
        const auto day = m_store.days.constFind(point.id);
        if (day == m_store.days.constEnd())
            continue;
        for (int h = 0; h < hoursPerDay; ++h)
            profile[h] = plus(profile[h], day->byHour.at(h));
    }
    return profile;
}

QList<SightingLog::NewType> SightingLog::recentNewTypes(int limit) const
{
    QList<std::pair<QString, QDateTime>> pairs;
    pairs.reserve(m_store.typesFirstSeen.size());
    for (auto it = m_store.typesFirstSeen.cbegin(); it != m_store.typesFirstSeen.cend(); ++it)
        pairs.append({ it.key(), it.value() });
    std::stable_sort(pairs.begin(), pairs.end(),
        [](const auto &a, const auto &b) { return a.second > b.second; });

    QList<NewType> types;
    for (const auto &[code, date] : pairs) {
        if (types.size() >= limit)
            break;
        types.append({ code, AircraftTypes::name(code).value_or(code), date });
    }
    return types;
}

void SightingLog::saveIfDirty()
{
    if (!m_dirty)
        return;
    QDir().mkpath(m_directory);
    if (m_fileIsBad && !setBadFileAside())
        return;
    QString error;
    if (!SafeFile::write(filePath(), encode(m_store), &error)) {
        setSaveError(error);
        return;
    }
    m_dirty = false;
    m_fileIsBad = false;
    setSaveError({});
}

void SightingLog::setSaveError(const QString &error)
{
    if (error == m_saveError)
        return;
    m_saveError = error;
    Q_EMIT saveErrorChanged();
}

QByteArray SightingLog::encode(const Store &store)
{
    QJsonObject days;
    for (auto it = store.days.cbegin(); it != store.days.cend(); ++it) {
        QJsonArray hours;
        for (qint64 n : it->byHour)
            hours.append(n);
        days.insert(it.key(), QJsonObject { { u"count"_s, it->count }, { u"byHour"_s, hours } });
    }
    QJsonObject types;
    for (auto it = store.typesFirstSeen.cbegin(); it != store.typesFirstSeen.cend(); ++it)
        types.insert(it.key(), double(it->toMSecsSinceEpoch()) / 1000.0 - referenceOffsetSeconds);

    // The day's hexes, well over a hundred thousand in a busy area, are written straight into
    // the text: a QJsonArray of them cost several times the file in memory on every save. The
    // members around them are written by QJsonDocument, which orders keys alphabetically, so
    // the text is the one it would write for the whole object.
    const QByteArray before =
        QJsonDocument(QJsonObject { { u"days"_s, days }, { u"seenDayKey"_s, store.seenDayKey } })
            .toJson(QJsonDocument::Compact);
    const QByteArray after = QJsonDocument(QJsonObject {
                                               { u"totalUnique"_s, store.totalUnique },
                                               { u"typesFirstSeen"_s, types },
                                           })
                                 .toJson(QJsonDocument::Compact);
    QByteArray bytes;
    bytes.reserve(before.size() + after.size() + 9 * store.seenHexes.size() + 16);
    bytes.append(before.first(before.size() - 1));
    bytes.append(",\"seenHexes\":[");
    bool first = true;
    store.seenHexes.forEach([&](QStringView hex) {
        if (!first)
            bytes.append(',');
        first = false;
        const bool plain = std::all_of(hex.begin(), hex.end(), [](QChar c) {
            const char16_t u = c.unicode();
            return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
        });
        if (plain) {
            bytes.append('"');
            for (const QChar c : hex)
                bytes.append(char(c.unicode()));
            bytes.append('"');
        } else {
            // Escaped as QJsonDocument escapes: the one-element array without its brackets.
            const QByteArray quoted =
                QJsonDocument(QJsonArray { hex.toString() }).toJson(QJsonDocument::Compact);
            bytes.append(quoted.sliced(1, quoted.size() - 2));
        }
    });
    bytes.append("],");
    bytes.append(after.sliced(1));
    return bytes;
}

std::optional<SightingLog::Store> SightingLog::decode(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    const QJsonValue days = root.value("days"_L1);
    const QJsonValue types = root.value("typesFirstSeen"_L1);
    const auto total = integer(root.value("totalUnique"_L1));
    const QJsonValue dayKey = root.value("seenDayKey"_L1);
    const QJsonValue hexes = root.value("seenHexes"_L1);
    if (!days.isObject() || !types.isObject() || !total || !dayKey.isString() || !hexes.isArray())
        return std::nullopt;

    Store store;
    store.totalUnique = *total;
    store.seenDayKey = dayKey.toString();

    const QJsonObject dayObject = days.toObject();
    for (auto it = dayObject.constBegin(); it != dayObject.constEnd(); ++it) {
        const auto day = decodeDay(it.value());
        if (!day)
            return std::nullopt;
        store.days.insert(it.key(), *day);
    }

    const QJsonObject typeObject = types.toObject();
    for (auto it = typeObject.constBegin(); it != typeObject.constEnd(); ++it) {
        if (!it.value().isDouble())
            return std::nullopt;
        const double seconds = it.value().toDouble();
        if (!(std::abs(seconds) <= maxReferenceSeconds))
            return std::nullopt;
        const qint64 msecs = std::llround((seconds + referenceOffsetSeconds) * 1000.0);
        store.typesFirstSeen.insert(
            it.key(), QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc()));
    }

    const QJsonArray hexArray = hexes.toArray();
    store.seenHexes.reserve(hexArray.size());
    for (const QJsonValue &hex : hexArray) {
        if (!hex.isString())
            return std::nullopt;
        store.seenHexes.insert(hex.toString());
    }
    return store;
}

void SightingLog::load()
{
    const QFileInfo info(filePath());
    if (!info.exists() && !info.isSymLink())
        return;
    // Whatever is there and does not read back as a logbook is kept aside rather than lost
    // when the first save replaces it. Only plain files are opened: a pipe would block.
    m_fileIsBad = true;
    if (!info.isFile() || info.size() > maxFileBytes)
        return;
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.read(maxFileBytes + 1);
    if (bytes.size() > maxFileBytes)
        return;
    if (auto store = decode(bytes)) {
        m_store = std::move(*store);
        m_fileIsBad = false;
    }
}

void SightingLog::pruneIfNeeded(const QDateTime &now)
{
    if (m_store.days.size() <= maxStoredDays)
        return;
    const QString cutoff = dayKey(now.addSecs(-keptSeconds));
    auto it = m_store.days.begin();
    while (it != m_store.days.end() && it.key() < cutoff)
        it = m_store.days.erase(it);
}

bool SightingLog::setBadFileAside()
{
    const QString path = filePath();
    const QString bad = path + badSuffix;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    // The newest bad copy wins; an older one goes.
    QFile::remove(bad);
    return QFile::rename(path, bad);
}

QString SightingLog::dayKey(const QDateTime &instant) const
{
    return instant.toTimeZone(m_zone).date().toString(u"yyyy-MM-dd"_s);
}
