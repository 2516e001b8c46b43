// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearance.h"

#include "preferences.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QStyle>
#include <QStyleFactory>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString portalService = u"org.freedesktop.portal.Desktop"_s;
const QString portalPath = u"/org/freedesktop/portal/desktop"_s;
const QString portalSettings = u"org.freedesktop.portal.Settings"_s;
const QString appearanceGroup = u"org.freedesktop.appearance"_s;
const QString colorSchemeKey = u"color-scheme"_s;
// The portal may need to be started on first use; the answer is not worth a longer wait.
constexpr int portalTimeoutMs = 3000;

// Older portals wrap the value of Read twice.
QVariant unwrap(QVariant value)
{
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

Appearance::DesktopScheme schemeFrom(const QVariant &value)
{
    bool ok = false;
    const uint raw = unwrap(value).toUInt(&ok);
    if (!ok || raw > 2)
        return Appearance::DesktopScheme::noPreference;
    return Appearance::DesktopScheme(raw);
}

} // namespace

Appearance::Appearance(Preferences *preferences, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_platformPalette(QApplication::palette())
{
    connect(m_preferences, &Preferences::appearanceChoiceChanged, this, &Appearance::apply);
    apply();
    watchPortal();
}

QPalette Appearance::lightPalette()
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(u"Fusion"_s));
    return fusion ? fusion->standardPalette() : QPalette(QColor(239, 239, 239));
}

QPalette Appearance::darkPalette()
{
    QPalette p;
    const QColor text(232, 232, 232);
    const QColor dimText(128, 128, 128);
    p.setColor(QPalette::Window, QColor(46, 46, 48));
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(30, 30, 32));
    p.setColor(QPalette::AlternateBase, QColor(40, 40, 42));
    p.setColor(QPalette::ToolTipBase, QColor(58, 58, 60));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(140, 140, 145));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(56, 56, 58));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 69, 58));
    p.setColor(QPalette::Light, QColor(80, 80, 82));
    p.setColor(QPalette::Midlight, QColor(66, 66, 68));
    p.setColor(QPalette::Mid, QColor(40, 40, 42));
    p.setColor(QPalette::Dark, QColor(24, 24, 26));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0));
    p.setColor(QPalette::Highlight, QColor(10, 110, 220));
    p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    p.setColor(QPalette::Link, QColor(88, 166, 255));
    p.setColor(QPalette::LinkVisited, QColor(176, 140, 255));
    for (const auto role :
        { QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText })
        p.setColor(QPalette::Disabled, role, dimText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(72, 72, 74));
    return p;
}

QPalette Appearance::palette() const
{
    switch (m_preferences->appearanceChoice()) {
    case Preferences::AppearanceChoice::Light:
        return lightPalette();
    case Preferences::AppearanceChoice::Dark:
        return darkPalette();
    case Preferences::AppearanceChoice::Automatic:
        break;
    }
    switch (m_desktopScheme) {
    case DesktopScheme::preferDark:
        return darkPalette();
    case DesktopScheme::preferLight:
        return lightPalette();
    case DesktopScheme::noPreference:
        break;
    }
    return m_platformPalette;
}

bool Appearance::isDark() const
{
    const QPalette p = palette();
    return p.color(QPalette::Window).lightness() < p.color(QPalette::WindowText).lightness();
}

void Appearance::setDesktopScheme(DesktopScheme scheme)
{
    if (m_desktopScheme == scheme)
        return;
    m_desktopScheme = scheme;
    apply();
}

void Appearance::apply()
{
    QApplication::setPalette(palette());
    Q_EMIT changed();
}

void Appearance::watchPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(portalService, portalPath, portalSettings, u"SettingChanged"_s, this,
        SLOT(portalSettingChanged(QString, QString, QDBusVariant)));

    QDBusMessage read =
        QDBusMessage::createMethodCall(portalService, portalPath, portalSettings, u"Read"_s);
    read << appearanceGroup << colorSchemeKey;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, portalTimeoutMs), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
            call->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *call;
            // No portal, or one without the setting: the platform palette stays.
            if (reply.isError())
                return;
            setDesktopScheme(schemeFrom(reply.value().variant()));
        });
}

void Appearance::portalSettingChanged(
    const QString &group, const QString &key, const QDBusVariant &value)
{
    if (group == appearanceGroup && key == colorSchemeKey)
        setDesktopScheme(schemeFrom(value.variant()));
}
