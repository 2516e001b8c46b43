// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferences.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

Preferences::Preferences(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_settings(filePath, QSettings::IniFormat)
{
}

QString Preferences::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + u"/Skyvelle/Skyvelle.conf"_s;
}

QByteArray Preferences::homeLocation() const
{
    const QVariant value = m_settings.value(QLatin1String("homeLocation"));
    return value.isValid() ? value.toByteArray() : QByteArray();
}

void Preferences::removeHomeLocation()
{
    remove("homeLocation");
}

double Preferences::radiusNM() const
{
    const double radius = number("radiusNM").value_or(0.0);
    return radius > 0.0 ? radius : 25.0;
}

QByteArray Preferences::atcFavorites() const
{
    const QVariant value = m_settings.value(QLatin1String("atcFavorites"));
    return value.isValid() ? value.toByteArray() : QByteArray();
}

int Preferences::trailPointLimit() const
{
    const auto minutes = number("trailMinutes");
    if (!minutes)
        return 12;
    const double points = std::floor(*minutes * 12.0);
    // Clamped before the conversion so that a huge stored value cannot overflow the int.
    return int(std::clamp(points, 6.0, 100000.0));
}

void Preferences::resetToDefaults()
{
    setPlaneColorHex(u"#FF8A00"_s);
    setMarkerScale(1.0);
    setMapStyleChoice(u"standard"_s);
    setWidgetColorHex(u"#73FF99"_s);
    setColorByAltitude(false);
    setShowTrails(true);
    setTrailMinutes(1.0);
    setTrailWidth(2.0);
}

QVariantMap Preferences::serviceOverrides() const
{
    QVariantMap overrides;
    m_settings.beginGroup(u"services"_s);
    const QStringList keys = m_settings.childKeys();
    for (const QString &key : keys)
        overrides.insert(key, m_settings.value(key));
    m_settings.endGroup();
    return overrides;
}

void Preferences::sync()
{
    m_settings.sync();
}

QString Preferences::string(const char *key, const QString &fallback) const
{
    const QVariant value = m_settings.value(QLatin1String(key));
    if (value.typeId() != QMetaType::QString)
        return fallback;
    return value.toString();
}

bool Preferences::boolean(const char *key, bool fallback) const
{
    const QVariant value = m_settings.value(QLatin1String(key));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() != QMetaType::QString)
        return fallback;
    // The INI file stores text; only the words QSettings itself writes count as a bool.
    const QString text = value.toString();
    if (text == "true"_L1)
        return true;
    if (text == "false"_L1)
        return false;
    return fallback;
}

std::optional<double> Preferences::number(const char *key) const
{
    const QVariant value = m_settings.value(QLatin1String(key));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

void Preferences::write(const char *key, const QVariant &value)
{
    const QString name = QLatin1String(key);
    const QVariant previous = m_settings.value(name);
    m_settings.setValue(name, value);
    // Compared as text, because the INI file hands back every value as text after a restart.
    if (!previous.isValid() || previous.toString() != value.toString())
        notify(key);
}

void Preferences::remove(const char *key)
{
    const QString name = QLatin1String(key);
    if (!m_settings.contains(name))
        return;
    m_settings.remove(name);
    notify(key);
}

void Preferences::notify(const char *key)
{
    const QMetaObject *meta = metaObject();
    const int index = meta->indexOfProperty(key);
    Q_ASSERT(index >= 0);
    meta->property(index).notifySignal().invoke(this);
}
