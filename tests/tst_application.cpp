// SPDX-License-Identifier: GPL-3.0-or-later
#include "alertengine.h"
#include "flightstore.h"
#include "mainwindow.h"
#include "sightinglog.h"
#include "skyvelleapp.h"
#include "testserver.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A port on 127.0.0.1 that was free a moment ago. The settings must name the feed's address
// before the application exists, and no Qt socket may be made before it.
quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    quint16 port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

} // namespace

// The application object as main() builds it, with its files in a temporary folder and the
// feed on a local server: checks that the process-wide objects are wired to each other.
class TestApplication : public QObject {
    Q_OBJECT
public:
    TestApplication(SkyvelleApp *app, quint16 port, const QString &dataDirectory)
        : m_app(app)
        , m_port(port)
        , m_dataDirectory(dataDirectory)
    {
    }

private Q_SLOTS:
    void answerReachesAlertsThenTheLogbook()
    {
        TestServer server(nullptr, m_port);
        QVERIFY(server.isListening());
        TestServer::Reply reply;
        reply.body = R"({"ac":[{"hex":"a1b2c3","flight":"QXE201  ","squawk":"7700",
                                "lat":45.55,"lon":-122.65,"dst":3.1,"alt_baro":8200}]})";
        server.setPrefixReply(u"/v2/point/"_s, reply);

        QStringList order;
        connect(m_app->alertEngine(), &AlertEngine::alerted, this,
            [&order](const QString &rule, const QString &hex) { order << rule + u' ' + hex; });
        connect(
            m_app->sightingLog(), &SightingLog::changed, this, [&order] { order << u"logbook"_s; });
        // The poll at start went nowhere (the server was not up yet); ask again.
        m_app->flightStore()->fetchNow();
        QTRY_COMPARE(order.size(), 2);
        QCOMPARE(order, (QStringList { u"emergency a1b2c3"_s, u"logbook"_s }));
        QCOMPARE(m_app->flightStore()->aircraft().size(), 1);
        QCOMPARE(m_app->sightingLog()->todayCount(), 1);
        QVERIFY(m_app->mainWindow());
        QVERIFY(m_app->mainWindow()->windowTitle().contains(u"1"_s));

        // Both data files land in the folder the application was given.
        m_app->sightingLog()->saveIfDirty();
        QVERIFY(QFile::exists(m_dataDirectory + u"/logbook.json"_s));
        QVERIFY(QFile::exists(m_dataDirectory + u"/widget-config.json"_s));
    }

private:
    SkyvelleApp *m_app;
    quint16 m_port;
    QString m_dataDirectory;
};

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    const QString feed = u"http://127.0.0.1:%1"_s.arg(port);
    const SkyvelleApp::Paths paths { dir.filePath(u"Skyvelle.conf"_s), dir.filePath(u"data"_s),
        dir.filePath(u"tiles"_s), dir.filePath(u"debug.log"_s), dir.filePath(u"shot.png"_s) };
    {
        QSettings settings(paths.settingsFile, QSettings::IniFormat);
        settings.setValue(
            u"homeLocation"_s, R"({"latitude":45.5,"longitude":-122.6,"label":"Portland"})"_ba);
        settings.setValue(u"alertsEnabled"_s, true);
        settings.setValue(u"services/feedPrimary"_s, feed);
        settings.setValue(u"services/feedSecondary"_s, feed);
        // The update probe must not reach the real release feed.
        settings.setValue(u"services/appcast"_s, feed + u"/appcast.xml"_s);
    }
    SkyvelleApp app(argc, argv, paths);
    app.launch();
    TestApplication test(&app, port, paths.dataDirectory);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
