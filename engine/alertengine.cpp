// SPDX-License-Identifier: GPL-3.0-or-later
#include "alertengine.h"

#include "notifier.h"
#include "preferences.h"
#include "textutil.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double milesPerNauticalMile = 1.15078;
constexpr double metresPerSecondPerKnot = 0.514444;
constexpr double metresPerDegree = 111320.0;
constexpr double metresPerMile = 1609.34;
constexpr double pi = 3.141592653589793;

const QString ruleNames[] = { u"emergency"_s, u"flyover"_s, u"military"_s, u"heli"_s, u"low"_s,
    u"watch"_s };

// Whether @p entries holds @p text in upper case. Callsigns, registrations and hex codes are
// short ASCII, which is upper-cased on the stack rather than in a new string per aircraft.
bool containsUpper(const QSet<QString> &entries, QStringView text)
{
    constexpr qsizetype inlineSize = 32;
    if (text.size() > inlineSize)
        return entries.contains(text.toString().toUpper());
    QChar buffer[inlineSize];
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80)
            return entries.contains(text.toString().toUpper());
        buffer[i] = QChar(c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c);
    }
    return entries.contains(QString::fromRawData(buffer, text.size()));
}

} // namespace

AlertEngine::AlertEngine(Preferences *preferences, Notifier *notifier, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_notifier(notifier)
    , m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
}

void AlertEngine::evaluate(const QList<Aircraft> &aircraft, const HomeLocation &home)
{
    if (!m_preferences->alertsEnabled())
        return;
    const bool emergency = m_preferences->alertEmergency();
    const QSet<QString> &watch = watchlist(m_preferences->alertWatchlist());
    const double rangeMiles = m_preferences->alertRangeMiles();
    if (aircraft.isEmpty())
        return;

    // The switches and the miss distance are read once per update, not once per aircraft:
    // nothing can change them while this loop runs on the main thread, and two thousand
    // aircraft would otherwise mean ten thousand settings reads every five seconds.
    const bool flyover = m_preferences->alertFlyover();
    const bool military = m_preferences->alertMilitary();
    const bool helicopters = m_preferences->alertHelicopters();
    const bool lowAltitude = m_preferences->alertLowAltitude();
    const double missMiles = flyover ? m_preferences->flyoverMissMiles() : 0.0;
    m_now.reset();

    for (const Aircraft &a : aircraft) {
        if (rangeMiles > 0.0 && a.distanceNM && rangeMiles < *a.distanceNM * milesPerNauticalMile)
            continue;

        if (emergency && a.isEmergency())
            fire(Rule::emergency, a, u"Emergency squawk "_s + a.squawk.value_or(QString()));
        if (flyover) {
            if (const auto eta = flyoverETA(a, home, missMiles))
                fire(Rule::flyover, a,
                    u"Passing overhead in about %1 seconds"_s.arg(qint64(std::trunc(*eta))));
        }
        if (military && a.isMilitary())
            fire(Rule::military, a, u"Military aircraft in range"_s);
        if (helicopters && a.isHelicopter())
            fire(Rule::heli, a, u"Helicopter in range"_s);
        if (lowAltitude && !a.isOnGround()) {
            const auto feet = a.altitudeFeet();
            if (feet && *feet < 2000)
                fire(Rule::low, a, u"Low-flying aircraft"_s);
        }
        if (!watch.isEmpty() && matches(a, watch))
            fire(Rule::watch, a, u"Watchlist: "_s + a.displayName());
    }
}

QStringList AlertEngine::parseWatchlist(const QString &text)
{
    QStringList entries;
    for (const QStringView piece : QStringView(text).split(u',', Qt::SkipEmptyParts)) {
        const QStringView trimmed = TextUtil::trimSpacesAndTabs(piece);
        if (!trimmed.isEmpty())
            entries.append(trimmed.toString().toUpper());
    }
    return entries;
}

bool AlertEngine::matches(const Aircraft &aircraft, const QSet<QString> &entries)
{
    // A set, so that a watchlist of any length costs three lookups per aircraft.
    if (aircraft.flight
        && containsUpper(entries, TextUtil::trimSpacesAndTabs(QStringView(*aircraft.flight))))
        return true;
    if (aircraft.registration && containsUpper(entries, *aircraft.registration))
        return true;
    return containsUpper(entries, aircraft.hex);
}

std::optional<double> AlertEngine::flyoverETA(
    const Aircraft &aircraft, const HomeLocation &home, double missMiles)
{
    if (!aircraft.lat || !aircraft.lon || !aircraft.track || !aircraft.groundSpeed)
        return std::nullopt;
    if (!(*aircraft.groundSpeed > 30.0))
        return std::nullopt;
    if (aircraft.isOnGround())
        return std::nullopt;
    const auto feet = aircraft.altitudeFeet();
    if (!feet || *feet >= 20000)
        return std::nullopt;

    const double speed = *aircraft.groundSpeed * metresPerSecondPerKnot;
    const double theta = *aircraft.track * pi / 180.0;
    const double vx = speed * std::sin(theta);
    const double vy = speed * std::cos(theta);
    const double v2 = vx * vx + vy * vy;
    if (!(v2 > 1.0))
        return std::nullopt;

    const double dx =
        std::cos(home.latitude * pi / 180.0) * metresPerDegree * (*aircraft.lon - home.longitude);
    const double dy = metresPerDegree * (*aircraft.lat - home.latitude);
    const double t = -(dx * vx + dy * vy) / v2;
    // Written so that a NaN from bad coordinates fails too.
    if (!(t > 5.0 && t < 120.0))
        return std::nullopt;

    const double cx = dx + vx * t;
    const double cy = dy + vy * t;
    if (!(std::sqrt(cx * cx + cy * cy) < missMiles * metresPerMile))
        return std::nullopt;
    return t;
}

QString AlertEngine::body(const Aircraft &aircraft)
{
    QString text = aircraft.displayName();
    if (const auto type = aircraft.typeName())
        text += u" · "_s + *type;
    if (const auto look = aircraft.lookDirection())
        text += u" · "_s + *look;
    return text;
}

void AlertEngine::fire(Rule rule, const Aircraft &aircraft, const QString &title)
{
    if (!m_now)
        m_now = m_clock();
    const QDateTime &now = *m_now;
    const CooldownKey key { int(rule), aircraft.hex };
    const auto last = m_lastAlerted.constFind(key);
    if (last != m_lastAlerted.constEnd() && last->msecsTo(now) < cooldownSeconds * 1000)
        return;
    // Expired cooldowns hold nothing back, but aircraft keep passing all day: drop them
    // whenever the table has doubled since the last sweep, so it stays as large as the last
    // half hour's alerts.
    if (m_lastAlerted.size() >= m_sweepAt) {
        m_lastAlerted.removeIf([&now](const auto &entry) {
            return entry.value().msecsTo(now) >= cooldownSeconds * 1000;
        });
        m_sweepAt = std::max<qsizetype>(minimumSweep, 2 * m_lastAlerted.size());
    }
    m_lastAlerted.insert(key, now);

    const QString text = body(aircraft);
    if (m_notifier)
        m_notifier->post(title, text, aircraft.hex);
    Q_EMIT alerted(ruleNames[int(rule)], aircraft.hex, title, text);
}

const QSet<QString> &AlertEngine::watchlist(const QString &text)
{
    if (text != m_watchlistText) {
        m_watchlistText = text;
        const QStringList entries = parseWatchlist(text);
        m_watchlist = QSet<QString>(entries.cbegin(), entries.cend());
    }
    return m_watchlist;
}
