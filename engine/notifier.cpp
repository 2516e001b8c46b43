// SPDX-License-Identifier: GPL-3.0-or-later
#include "notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString service = u"org.freedesktop.Notifications"_s;
const QString path = u"/org/freedesktop/Notifications"_s;
const QString interface = u"org.freedesktop.Notifications"_s;

constexpr int callTimeoutMs = 5000;
constexpr qsizetype rememberedIds = 256;

} // namespace

Notifier::Notifier(QObject *parent)
    : Notifier(QDBusConnection::sessionBus(), parent)
{
}

Notifier::Notifier(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_bus(connection)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(
        service, path, interface, u"ActionInvoked"_s, this, SLOT(actionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, u"NotificationClosed"_s, this,
        SLOT(notificationClosed(uint, uint)));
}

Notifier::~Notifier() = default;

void Notifier::post(const QString &title, const QString &body, const QString &hex)
{
    if (!m_bus.isConnected())
        return;
    const Message message { title, body, hex };
    switch (m_markup) {
    case Markup::unknown:
        m_waiting.append(message);
        askCapabilities();
        break;
    case Markup::asking:
        m_waiting.append(message);
        break;
    case Markup::plain:
    case Markup::markup:
        send(message);
        break;
    }
}

void Notifier::askCapabilities()
{
    // A server that renders markup in bodies would otherwise take a callsign or type name
    // from the feed as markup.
    m_markup = Markup::asking;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, u"GetCapabilities"_s);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            // Asked again with the next notification: the service may start later. Until
            // then the body is escaped, which is harmless where markup is not understood.
            m_markup = Markup::unknown;
        } else {
            m_markup = reply.value().contains("body-markup"_L1) ? Markup::markup : Markup::plain;
        }
        const QList<Message> waiting = std::exchange(m_waiting, {});
        for (const Message &message : waiting)
            send(message);
    });
}

void Notifier::send(const Message &message)
{
    const QString body = m_markup == Markup::plain ? message.body : message.body.toHtmlEscaped();
    const QVariantMap hints {
        { u"sound-name"_s, u"message-new-instant"_s },
        { u"desktop-entry"_s, u"skyvelle"_s },
    };
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, u"Notify"_s);
    call << u"Skyvelle"_s << uint(0) << QString() << message.title << body
         << QStringList { u"default"_s, u"Show"_s } << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, hex = message.hex](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            const QDBusPendingReply<uint> reply = *w;
            if (!reply.isError())
                remember(reply.value(), hex);
        });
}

void Notifier::remember(uint id, const QString &hex)
{
    if (!m_hexById.contains(id))
        m_idOrder.append(id);
    m_hexById.insert(id, hex);
    while (m_idOrder.size() > rememberedIds)
        m_hexById.remove(m_idOrder.takeFirst());
}

void Notifier::actionInvoked(uint id, const QString &actionKey)
{
    if (actionKey != "default"_L1)
        return;
    const auto it = m_hexById.constFind(id);
    if (it != m_hexById.constEnd())
        Q_EMIT activated(*it);
}

void Notifier::notificationClosed(uint id, uint)
{
    if (m_hexById.remove(id))
        m_idOrder.removeOne(id);
}
