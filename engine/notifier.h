// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

// Posts desktop notifications through the freedesktop notification service on a D-Bus
// connection, and reports a click on one of them as activated() with the aircraft it was
// about. Without a bus or without a notification service the notifications are dropped
// quietly; nothing is reported either way.
class Notifier : public QObject {
    Q_OBJECT
public:
    // Uses the session bus.
    explicit Notifier(QObject *parent = nullptr);
    // Uses the given connection (tests hand in a private bus).
    explicit Notifier(const QDBusConnection &connection, QObject *parent = nullptr);
    ~Notifier() override;

    // Shows one notification at once. The body is plain text; @p hex comes back through
    // activated() when the user clicks the notification.
    void post(const QString &title, const QString &body, const QString &hex);

Q_SIGNALS:
    void activated(const QString &hex);

private Q_SLOTS:
    void actionInvoked(uint id, const QString &actionKey);
    void notificationClosed(uint id, uint reason);

private:
    struct Message {
        QString title;
        QString body;
        QString hex;
    };
    enum class Markup { unknown, asking, plain, markup };

    void askCapabilities();
    void send(const Message &message);
    void remember(uint id, const QString &hex);

    QDBusConnection m_bus;
    Markup m_markup = Markup::unknown;
    // Posted while the server's capabilities were still being asked for, in order.
    QList<Message> m_waiting;
    QHash<uint, QString> m_hexById;
    // Server ids oldest first, so that a server that never reports closing cannot make the
    // table grow without end.
    QList<uint> m_idOrder;
};
