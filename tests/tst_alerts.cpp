// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftdecoder.h"
#include "alertengine.h"
#include "notifier.h"
#include "preferences.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const HomeLocation home { 0.0, 0.0, u"Null Island"_s };

Aircraft plane(const QByteArray &json)
{
    AircraftDecoder decoder;
    QString error;
    const auto aircraft = decoder.decodeAircraft(json, &error);
    if (!aircraft)
        qFatal("bad sample %s: %s", json.constData(), qPrintable(error));
    return *aircraft;
}

// 3,000 m south of home, so that a northbound track passes straight over it.
QByteArray southOfHome(const QByteArray &fields)
{
    return R"({"hex":"f00001","lat":)" + QByteArray::number(-3000.0 / 111320.0, 'g', 17)
        + R"(,"lon":0,)" + fields + '}';
}

// A freedesktop notification server on the private bus, recording what it is asked.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString appName;
        uint replacesId;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout;
    };

    QList<Call> calls;
    QStringList capabilities { u"body"_s, u"actions"_s };
    int capabilityQueries = 0;

public Q_SLOTS:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
        const QString &summary, const QString &body, const QStringList &actions,
        const QVariantMap &hints, int expireTimeout)
    {
        calls.append(
            { appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout });
        return uint(100 + calls.size());
    }
    QStringList GetCapabilities()
    {
        ++capabilityQueries;
        return capabilities;
    }
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion)
    {
        vendor = u"Skyvelle tests"_s;
        version = u"1"_s;
        specVersion = u"1.2"_s;
        return u"recorder"_s;
    }
    void CloseNotification(uint id) { Q_EMIT NotificationClosed(id, 3); }

Q_SIGNALS:
    void ActionInvoked(uint id, const QString &actionKey);
    void NotificationClosed(uint id, uint reason);
};

} // namespace

class TestAlerts : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_preferences;
    QDateTime m_now;

    QProcess m_bus;
    QString m_busAddress;
    int m_connections = 0;

    std::unique_ptr<AlertEngine> makeEngine(Notifier *notifier = nullptr)
    {
        auto engine = std::make_unique<AlertEngine>(m_preferences.get(), notifier);
        engine->setClock([this] { return m_now; });
        return engine;
    }

    QDBusConnection connectToBus()
    {
        return QDBusConnection::connectToBus(m_busAddress, u"c%1"_s.arg(++m_connections));
    }

    void enable(const QStringList &switches)
    {
        m_preferences->setAlertsEnabled(true);
        // "!name" switches one off.
        for (const QString &name : switches) {
            const bool on = !name.startsWith(u'!');
            QVERIFY(m_preferences->setProperty(name.mid(on ? 0 : 1).toLatin1().constData(), on));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        QVERIFY2(!daemon.isEmpty(), "dbus-daemon is needed (scripts/setup.sh installs it)");
        // A bus of our own, without service activation, so that no real notification
        // daemon gets started and nothing reaches the desktop.
        const QString config = m_dir.filePath(u"bus.conf"_s);
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
            "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>unix:dir="
            + m_dir.path().toUtf8()
            + "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
              "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
              "<allow own=\"*\"/></policy></busconfig>\n");
        file.close();
        m_bus.start(daemon, { u"--config-file"_s, config, u"--print-address"_s, u"--nofork"_s });
        QVERIFY(m_bus.waitForStarted());
        QTRY_VERIFY(m_bus.canReadLine());
        m_busAddress = QString::fromUtf8(m_bus.readLine().trimmed());
        QVERIFY(!m_busAddress.isEmpty());
    }

    void cleanupTestCase()
    {
        m_bus.terminate();
        m_bus.waitForFinished();
    }

    void init()
    {
        // The previous test's settings go first: on destruction they would write back.
        m_preferences.reset();
        const QString path = m_dir.filePath(u"Skyvelle.conf"_s);
        QFile::remove(path);
        m_preferences = std::make_unique<Preferences>(path);
        m_now = QDateTime(QDate(2026, 12, 7), QTime(12, 0), QTimeZone::utc());
    }

    void nothingWithoutTheMasterSwitch()
    {
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        const QList<Aircraft> list { plane(R"({"hex":"a1","squawk":"7700"})") };
        engine->evaluate(list, home);
        m_preferences->setAlertsEnabled(false);
        engine->evaluate(list, home);
        QCOMPARE(alerted.size(), 0);
        // The master switch did not touch the cooldowns: nothing was recorded, so the first
        // update after switching on alerts at once.
        m_preferences->setAlertsEnabled(true);
        engine->evaluate(list, home);
        QCOMPARE(alerted.size(), 1);
    }

    void rules_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("switches");
        QTest::addColumn<QStringList>("titles");

        const QStringList all { u"alertFlyover"_s, u"alertMilitary"_s, u"alertHelicopters"_s,
            u"alertLowAltitude"_s };
        QTest::newRow("emergency on while never stored")
            << QByteArray(R"({"hex":"a1","squawk":"7700","alt_baro":35000})") << QStringList()
            << QStringList { u"Emergency squawk 7700"_s };
        QTest::newRow("emergency without a squawk ends in a space")
            << QByteArray(R"({"hex":"a1","emergency":"general"})") << QStringList()
            << QStringList { u"Emergency squawk "_s };
        QTest::newRow("emergency switched off")
            << QByteArray(R"({"hex":"a1","squawk":"7500"})") << QStringList { u"!alertEmergency"_s }
            << QStringList();
        QTest::newRow("military needs its switch")
            << QByteArray(R"({"hex":"ae01","dbFlags":1,"alt_baro":9000})") << QStringList()
            << QStringList();
        QTest::newRow("military") << QByteArray(R"({"hex":"ae01","dbFlags":3,"alt_baro":9000})")
                                  << QStringList { u"alertMilitary"_s }
                                  << QStringList { u"Military aircraft in range"_s };
        QTest::newRow("helicopter flying low fires twice")
            << QByteArray(R"({"hex":"c0ffee","category":"A7","alt_baro":800})") << all
            << QStringList { u"Helicopter in range"_s, u"Low-flying aircraft"_s };
        QTest::newRow("1,999 ft is low") << QByteArray(R"({"hex":"b1","alt_baro":1999})") << all
                                         << QStringList { u"Low-flying aircraft"_s };
        QTest::newRow("2,000 ft is not")
            << QByteArray(R"({"hex":"b1","alt_baro":2000})") << all << QStringList();
        QTest::newRow("geometric altitude stands in") << QByteArray(
            R"({"hex":"b1","alt_geom":1200})") << all << QStringList { u"Low-flying aircraft"_s };
        QTest::newRow("on the ground at 500 ft geometric")
            << southOfHome(R"("alt_baro":"ground","alt_geom":500,"track":0,"gs":200)") << all
            << QStringList();
        QTest::newRow("fly-over in 29 seconds")
            << southOfHome(R"("alt_baro":3000,"track":0,"gs":200)") << all
            << QStringList { u"Passing overhead in about 29 seconds"_s };
        QTest::newRow("fly-over needs its switch")
            << southOfHome(R"("alt_baro":3000,"track":0,"gs":200)") << QStringList()
            << QStringList();
        QTest::newRow("flying away")
            << southOfHome(R"("alt_baro":3000,"track":180,"gs":200)") << all << QStringList();
        QTest::newRow("30 kt is too slow")
            << southOfHome(R"("alt_baro":3000,"track":0,"gs":30)") << all << QStringList();
        QTest::newRow("20,000 ft is too high")
            << southOfHome(R"("alt_baro":20000,"track":0,"gs":200)") << all << QStringList();
        QTest::newRow("no track") << southOfHome(R"("alt_baro":3000,"gs":200)") << all
                                  << QStringList();
        QTest::newRow("a bare record triggers nothing")
            << QByteArray(R"({"hex":"a1"})") << all << QStringList();
        QTest::newRow("ordinary airliner") << QByteArray(
            R"({"hex":"a1","flight":"UAL12 ","t":"B738","alt_baro":36000,"gs":450,"track":90,"lat":1,"lon":1,"dst":80,"dir":45,"squawk":"1200"})")
                                           << all << QStringList();
    }

    void rules()
    {
        QFETCH(QByteArray, json);
        QFETCH(QStringList, switches);
        QFETCH(QStringList, titles);
        enable(switches);
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        engine->evaluate({ plane(json) }, home);
        QStringList got;
        for (const QList<QVariant> &args : alerted)
            got << args.at(2).toString();
        QCOMPARE(got, titles);
    }

    void flyoverPrediction_data()
    {
        QTest::addColumn<double>("dyMetres");
        QTest::addColumn<double>("dxMetres");
        QTest::addColumn<double>("missMiles");
        QTest::addColumn<double>("expected"); // negative: no prediction

        const double v = 200 * 0.514444;
        QTest::newRow("straight over") << -3000.0 << 0.0 << 0.75 << 3000.0 / v;
        QTest::newRow("just over 5 s") << -5.01 * v << 0.0 << 0.75 << 5.01;
        QTest::newRow("5 s exactly") << -5.0 * v << 0.0 << 0.75 << -1.0;
        QTest::newRow("120 s exactly") << -120.0 * v << 0.0 << 0.75 << -1.0;
        QTest::newRow("passes 1 km east, limit 0.75 mi") << -3000.0 << 1000.0 << 0.75 << 3000.0 / v;
        QTest::newRow("passes 1.3 km east, limit 0.75 mi") << -3000.0 << 1300.0 << 0.75 << -1.0;
        QTest::newRow("passes 1.3 km east, limit 1 mi") << -3000.0 << 1300.0 << 1.0 << 3000.0 / v;
    }

    void flyoverPrediction()
    {
        QFETCH(double, dyMetres);
        QFETCH(double, dxMetres);
        QFETCH(double, missMiles);
        QFETCH(double, expected);
        Aircraft a = plane(R"({"hex":"f1","alt_baro":3000,"track":0,"gs":200})");
        a.lat = dyMetres / 111320.0;
        a.lon = dxMetres / 111320.0;
        const auto eta = AlertEngine::flyoverETA(a, home, missMiles);
        if (expected < 0) {
            QVERIFY2(!eta, qPrintable(QString::number(eta.value_or(0))));
        } else {
            QVERIFY(eta);
            QVERIFY(qAbs(*eta - expected) < 1e-6);
        }
    }

    void missDistanceFromPreferences()
    {
        enable({ u"alertFlyover"_s });
        m_preferences->setFlyoverMissMiles(2.0);
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        // 3 km to the side: a miss of 1.86 mi.
        Aircraft a = plane(southOfHome(R"("alt_baro":3000,"track":0,"gs":200)"));
        a.lon = 3000.0 / 111320.0;
        engine->evaluate({ a }, home);
        QCOMPARE(alerted.size(), 1);
    }

    void rangeGate_data()
    {
        QTest::addColumn<double>("rangeMiles");
        QTest::addColumn<QByteArray>("distance");
        QTest::addColumn<bool>("alerts");

        QTest::newRow("4.4 NM is beyond 5 mi") << 5.0 << QByteArray(",\"dst\":4.4") << false;
        QTest::newRow("4.3 NM is within 5 mi") << 5.0 << QByteArray(",\"dst\":4.3") << true;
        QTest::newRow("no distance passes") << 5.0 << QByteArray() << true;
        QTest::newRow("exactly at the range") << 1.15078 << QByteArray(",\"dst\":1") << true;
        QTest::newRow("any distance") << 0.0 << QByteArray(",\"dst\":200") << true;
        QTest::newRow("negative means any") << -3.0 << QByteArray(",\"dst\":200") << true;
    }

    void rangeGate()
    {
        QFETCH(double, rangeMiles);
        QFETCH(QByteArray, distance);
        QFETCH(bool, alerts);
        enable({ u"alertLowAltitude"_s });
        m_preferences->setAlertRangeMiles(rangeMiles);
        m_preferences->setAlertWatchlist(u"A1"_s);
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        engine->evaluate(
            { plane(R"({"hex":"a1","squawk":"7700","alt_baro":500)" + distance + '}') }, home);
        // Emergency, low and watchlist: the gate holds back every rule or none.
        QCOMPARE(alerted.size(), alerts ? 3 : 0);
    }

    void cooldown_data()
    {
        QTest::addColumn<QList<qint64>>("laterMs");
        QTest::addColumn<int>("alerts");

        QTest::newRow("next update") << QList<qint64> { 5000 } << 1;
        QTest::newRow("1,799 s") << QList<qint64> { 1799000 } << 1;
        QTest::newRow("1,799.999 s") << QList<qint64> { 1799999 } << 1;
        QTest::newRow("1,800 s") << QList<qint64> { 1800000 } << 2;
        QTest::newRow("a held-back attempt does not renew")
            << QList<qint64> { 1000000, 1800000 } << 2;
    }

    void cooldown()
    {
        QFETCH(QList<qint64>, laterMs);
        QFETCH(int, alerts);
        enable({});
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        const QList<Aircraft> list { plane(R"({"hex":"a1b2c3","squawk":"7700"})") };
        const QDateTime start = m_now;
        engine->evaluate(list, home);
        for (qint64 ms : laterMs) {
            m_now = start.addMSecs(ms);
            engine->evaluate(list, home);
        }
        QCOMPARE(alerted.size(), alerts);
    }

    // A day of aircraft passing leaves the cooldowns of the last half hour, not of the day,
    // and sweeping the old ones never frees a recent aircraft to alert again.
    void cooldownsDoNotPileUp()
    {
        enable({});
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        const QDateTime start = m_now;
        constexpr int polls = 2000;
        for (int poll = 0; poll < polls; ++poll) {
            m_now = start.addSecs(5 * poll);
            QList<Aircraft> arriving;
            for (int i = 0; i < 5; ++i)
                arriving << plane("{\"hex\":\"" + QByteArray::number(poll * 5 + i, 16)
                    + "\",\"squawk\":\"7700\"}");
            engine->evaluate(arriving, home);
        }
        QCOMPARE(alerted.size(), polls * 5);
        const qsizetype halfHour = AlertEngine::cooldownSeconds / 5 * 5;
        QVERIFY2(engine->cooldownCount() <= 2 * halfHour + 5,
            qPrintable(QString::number(engine->cooldownCount())));
        engine->evaluate({ plane(R"({"hex":"270f","squawk":"7700"})") }, home);
        QCOMPARE(alerted.size(), polls * 5);
    }

    void cooldownKeys()
    {
        enable({ u"alertHelicopters"_s, u"alertLowAltitude"_s });
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        // Keys keep the hex exactly as the feed writes it, and are per rule.
        const QList<Aircraft> first { plane(R"({"hex":"a1b2c3","category":"A7","alt_baro":500})") };
        engine->evaluate(first, home);
        QCOMPARE(alerted.size(), 2);
        engine->evaluate({ plane(R"({"hex":"A1B2C3","category":"A7","alt_baro":500})") }, home);
        QCOMPARE(alerted.size(), 4);
        m_preferences->setAlertMilitary(true);
        engine->evaluate(
            { plane(R"({"hex":"a1b2c3","category":"A7","alt_baro":500,"dbFlags":1})") }, home);
        QCOMPARE(alerted.size(), 5);
        QCOMPARE(alerted.last().at(0).toString(), u"military"_s);
    }

    void body_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("body");

        QTest::newRow("name, type and direction") << QByteArray(
            R"({"hex":"a1","r":"N172SP","desc":"CESSNA 172","alt_baro":3000,"dst":4,"dir":0,"squawk":"7700"})")
                                                  << u"N172SP · Cessna 172 · Look N, 7° up"_s;
        QTest::newRow("type from the catalogue")
            << QByteArray(R"({"hex":"a1","flight":"UAL12  ","t":"B738","squawk":"7700"})")
            << u"UAL12 · Boeing 737-800"_s;
        QTest::newRow("name alone") << QByteArray(R"({"hex":"a1b2","squawk":"7700"})") << u"A1B2"_s;
    }

    void body()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, body);
        enable({});
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        engine->evaluate({ plane(json) }, home);
        QCOMPARE(alerted.size(), 1);
        QCOMPARE(alerted.at(0).at(3).toString(), body);
    }

    void watchlistParse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("trims, folds and skips empties")
            << u" n123ab ,, ual12 ,"_s << QStringList { u"N123AB"_s, u"UAL12"_s };
        QTest::newRow("tabs trimmed, duplicates kept")
            << u"\ta\t,b, A"_s << QStringList { u"A"_s, u"B"_s, u"A"_s };
        QTest::newRow("line breaks stay") << u"x\n,y"_s << QStringList { u"X\n"_s, u"Y"_s };
        QTest::newRow("blank") << u" , ,\t"_s << QStringList();
        QTest::newRow("empty") << QString() << QStringList();
    }

    void watchlistParse()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, entries);
        QCOMPARE(AlertEngine::parseWatchlist(text), entries);
    }

    void watchlistMatch_data()
    {
        QTest::addColumn<QString>("watchlist");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("matches");

        const QString list = u" n123ab ,, ual12 ,"_s;
        QTest::newRow("registration in lower case")
            << list << QByteArray(R"({"hex":"a1","r":"n123ab"})") << true;
        QTest::newRow("callsign with trailing spaces")
            << list << QByteArray(R"({"hex":"a1","flight":"UAL12   "})") << true;
        QTest::newRow("hex in any case")
            << u"ABC123"_s << QByteArray(R"({"hex":"abc123"})") << true;
        QTest::newRow("no prefix match")
            << u"UAL"_s << QByteArray(R"({"hex":"a1","flight":"UAL12"})") << false;
        QTest::newRow("registration is not trimmed")
            << u"N1"_s << QByteArray(R"({"hex":"a1","r":"N1 "})") << false;
        QTest::newRow("beyond ASCII")
            << u"ÄLPHA"_s << QByteArray(R"({"hex":"a1","r":"älpha"})") << true;
        QTest::newRow("long callsign")
            << u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"_s
            << QByteArray(R"({"hex":"a1","flight":"abcdefghijklmnopqrstuvwxyz0123456789 "})")
            << true;
        QTest::newRow("stranger") << list << QByteArray(R"({"hex":"a1","flight":"DAL9","r":"N9"})")
                                  << false;
    }

    void watchlistMatch()
    {
        QFETCH(QString, watchlist);
        QFETCH(QByteArray, json);
        QFETCH(bool, matches);
        enable({});
        m_preferences->setAlertWatchlist(watchlist);
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        const Aircraft a = plane(json);
        engine->evaluate({ a }, home);
        QCOMPARE(alerted.size(), matches ? 1 : 0);
        if (matches)
            QCOMPARE(alerted.at(0).at(2).toString(), u"Watchlist: "_s + a.displayName());
    }

    void hugeWatchlistStaysLinear()
    {
        QStringList pieces;
        for (int i = 0; i < 200000; ++i)
            pieces << u"N%1"_s.arg(i);
        enable({});
        m_preferences->setAlertWatchlist(pieces.join(u','));
        QList<Aircraft> list;
        for (int i = 0; i < 2000; ++i)
            list << plane(QByteArray(R"({"hex":"f)") + QByteArray::number(i) + R"(","r":"x)"
                + QByteArray::number(i) + "\"}");
        list << plane(R"({"hex":"a1","r":"n199999"})");
        auto engine = makeEngine();
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        QElapsedTimer clock;
        clock.start();
        engine->evaluate(list, home);
        engine->evaluate(list, home);
        // Two updates against 200,000 entries: comparing every entry with every aircraft
        // would take far longer than this.
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(alerted.size(), 1);
    }

    void notifyArguments_data()
    {
        QTest::addColumn<QStringList>("capabilities");
        QTest::addColumn<QString>("body");

        QTest::newRow("plain server")
            << QStringList { u"body"_s, u"actions"_s } << u"<b>&co · Look N"_s;
        QTest::newRow("markup server")
            << QStringList { u"body"_s, u"body-markup"_s } << u"&lt;b&gt;&amp;co · Look N"_s;
    }

    void notifyArguments()
    {
        QFETCH(QStringList, capabilities);
        QFETCH(QString, body);
        QDBusConnection serverBus = connectToBus();
        NotificationServer server;
        server.capabilities = capabilities;
        QVERIFY(serverBus.registerObject(u"/org/freedesktop/Notifications"_s, &server,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(serverBus.registerService(u"org.freedesktop.Notifications"_s));

        Notifier notifier(connectToBus());
        enable({ u"alertLowAltitude"_s });
        auto engine = makeEngine(&notifier);
        // A registration is text from the feed: a markup server must not read it as markup.
        engine->evaluate(
            { plane(
                R"({"hex":"a1b2c3","r":"<b>&co","squawk":"7700","alt_baro":900,"dst":0,"dir":0})") },
            home);
        QTRY_COMPARE(server.calls.size(), 2);
        QCOMPARE(server.capabilityQueries, 1);
        const NotificationServer::Call &call = server.calls.at(0);
        QCOMPARE(call.appName, u"Skyvelle"_s);
        QCOMPARE(call.replacesId, 0u);
        QCOMPARE(call.summary, u"Emergency squawk 7700"_s);
        QCOMPARE(call.body, body);
        QCOMPARE(call.actions, (QStringList { u"default"_s, u"Show"_s }));
        QCOMPARE(call.hints.value(u"desktop-entry"_s).toString(), u"skyvelle"_s);
        QVERIFY(!call.hints.value(u"sound-name"_s).toString().isEmpty());
        QCOMPARE(call.expireTimeout, -1);
        QCOMPARE(server.calls.at(1).summary, u"Low-flying aircraft"_s);

        serverBus.unregisterService(u"org.freedesktop.Notifications"_s);
        serverBus.unregisterObject(u"/org/freedesktop/Notifications"_s);
    }

    void clickSelectsTheAircraft()
    {
        // The notifier comes first, as when the notification daemon is only started by the
        // first notification.
        Notifier notifier(connectToBus());
        QDBusConnection serverBus = connectToBus();
        NotificationServer server;
        QVERIFY(serverBus.registerObject(u"/org/freedesktop/Notifications"_s, &server,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(serverBus.registerService(u"org.freedesktop.Notifications"_s));
        QSignalSpy activated(&notifier, &Notifier::activated);
        notifier.post(u"One"_s, u"first"_s, u"abc001"_s);
        notifier.post(u"Two"_s, u"second"_s, u"ABC002"_s);
        QTRY_COMPARE(server.calls.size(), 2);
        // Let the replies carrying the ids arrive before clicking.
        QTest::qWait(50);

        Q_EMIT server.ActionInvoked(102, u"other"_s);
        Q_EMIT server.ActionInvoked(999, u"default"_s);
        Q_EMIT server.ActionInvoked(102, u"default"_s);
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(activated.at(0).at(0).toString(), u"ABC002"_s);

        // Once the server has closed it, a stale click on the first selects nothing.
        Q_EMIT server.NotificationClosed(101, 2);
        Q_EMIT server.ActionInvoked(101, u"default"_s);
        Q_EMIT server.ActionInvoked(102, u"default"_s);
        QTRY_COMPARE(activated.size(), 2);
        QCOMPARE(activated.at(1).at(0).toString(), u"ABC002"_s);

        serverBus.unregisterService(u"org.freedesktop.Notifications"_s);
        serverBus.unregisterObject(u"/org/freedesktop/Notifications"_s);
    }

    void noServerNoBus_data()
    {
        QTest::addColumn<bool>("withBus");
        QTest::newRow("bus without a notification server") << true;
        QTest::newRow("no bus at all") << false;
    }

    void noServerNoBus()
    {
        QFETCH(bool, withBus);
        const QDBusConnection bus = withBus
            ? connectToBus()
            : QDBusConnection::connectToBus(u"unix:path=%1/none"_s.arg(m_dir.path()), u"nobus"_s);
        QCOMPARE(bus.isConnected(), withBus);
        Notifier notifier(bus);
        enable({});
        auto engine = makeEngine(&notifier);
        QSignalSpy alerted(engine.get(), &AlertEngine::alerted);
        const QList<Aircraft> list { plane(R"({"hex":"a1","squawk":"7700"})") };
        engine->evaluate(list, home);
        QTest::qWait(100);
        engine->evaluate(list, home);
        // The rule ran and its cooldown holds although nothing could be shown.
        QCOMPARE(alerted.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAlerts)
#include "tst_alerts.moc"
