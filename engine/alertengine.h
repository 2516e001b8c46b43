// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "homelocation.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

class Notifier;
class Preferences;

// Decides after every feed update which aircraft are worth a notification: emergency squawks,
// predicted fly-overs, military aircraft, helicopters, low flyers and the user's watchlist,
// within the alert range, each rule at most once per aircraft every 30 minutes.
class AlertEngine : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    // Cooldown per (rule, aircraft) pair.
    static constexpr qint64 cooldownSeconds = 1800;

    // @p notifier may be null: the rules and cooldowns run all the same.
    AlertEngine(Preferences *preferences, Notifier *notifier, QObject *parent = nullptr);

    // Replaces the wall clock that times the cooldowns (for tests).
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Checks every aircraft of one feed answer, in the feed's order, against the rules and
    // posts what passes. Only the coordinates of @p home are used.
    void evaluate(const QList<Aircraft> &aircraft, const HomeLocation &home);

    // Comma-separated callsigns, registrations or hex codes: pieces trimmed of spaces and tabs,
    // upper-cased, empty ones dropped; order and duplicates kept.
    static QStringList parseWatchlist(const QString &text);
    // Whether the trimmed callsign, the registration or the hex, each upper-cased, is one of
    // @p entries.
    static bool matches(const Aircraft &aircraft, const QSet<QString> &entries);
    // Seconds until the aircraft passes closest to home on its present course, when that is
    // between 5 and 120 seconds away and closer than @p missMiles (statute miles).
    static std::optional<double> flyoverETA(
        const Aircraft &aircraft, const HomeLocation &home, double missMiles);
    // "<name> · <type> · <look direction>", leaving out what the aircraft lacks.
    static QString body(const Aircraft &aircraft);

    // How many (rule, aircraft) pairs have a cooldown on record.
    qsizetype cooldownCount() const { return m_lastAlerted.size(); }

Q_SIGNALS:
    // A notification was handed on (or would have been, without a notifier).
    void alerted(
        const QString &rule, const QString &hex, const QString &title, const QString &body);

private:
    enum class Rule : quint8 { emergency, flyover, military, heli, low, watch };
    // The rule and the hex as the aircraft record holds it: the pair stands for the key
    // "<rule>-<hex>" without building that text for every aircraft on every update.
    using CooldownKey = std::pair<int, QString>;

    void fire(Rule rule, const Aircraft &aircraft, const QString &title);
    const QSet<QString> &watchlist(const QString &text);

    Preferences *m_preferences;
    Notifier *m_notifier;
    Clock m_clock;
    // The clock read once per update, on the first alert that needs it.
    std::optional<QDateTime> m_now;
    QHash<CooldownKey, QDateTime> m_lastAlerted;
    // The table size at which expired cooldowns are next swept out.
    static constexpr qsizetype minimumSweep = 256;
    qsizetype m_sweepAt = minimumSweep;
    // The last watchlist text and its entries, so that an unchanged list is not split again
    // on every update.
    QString m_watchlistText;
    QSet<QString> m_watchlist;
};
