// SPDX-License-Identifier: GPL-3.0-or-later
#include "atcaudio.h"
#include "preferences.h"
#include "services.h"
#include "streamreply.h"
#include "testserver.h"

#include <QAudioOutput>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ATCAudio::State)

namespace {

using State = ATCAudio::State;

TestServer::Reply answer(
    const QByteArray &body, int status = 200, const QByteArray &contentType = "audio/x-scpls")
{
    TestServer::Reply r;
    r.status = status;
    r.body = body;
    r.contentType = contentType;
    return r;
}

// An MP3 of @p seconds of tone, encoded by GStreamer the way a feed's encoder would; empty when
// the tools are missing.
QByteArray makeMp3(const QString &folder, int seconds)
{
    const QString path = folder + u"/tone%1.mp3"_s.arg(seconds);
    // 1024 samples a buffer at 44.1 kHz.
    const int buffers = seconds * 44100 / 1024;
    QProcess gst;
    gst.start(u"gst-launch-1.0"_s,
        { u"-q"_s, u"audiotestsrc"_s, u"num-buffers=%1"_s.arg(buffers), u"!"_s, u"lamemp3enc"_s,
            u"!"_s, u"filesink"_s, u"location=%1"_s.arg(path) });
    if (!gst.waitForFinished(30000) || gst.exitCode() != 0)
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestATCAudio : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void storedFavorites_data();
    void storedFavorites();
    void favoritesAndVolumeSurviveRestart();
    void resolve_data();
    void resolve();
    void playsAndStops();
    void failingStreamsAreOffline_data();
    void failingStreamsAreOffline();
    void switchingDropsTheOldStream();
    void staleResolutionIsDropped();
    void removeWhileBuffering();
    void feedThatEndsIsOffline();
    void feedThatGoesSilentIsOffline();
    void icecastStreamPlaysStopsAndGoesOffline();

private:
    std::unique_ptr<ATCAudio> makeAudio();
    ATCFavorite favorite(const QString &name, const QUrl &url) const;
    bool waitFor(ATCAudio *audio, State state, int ms = 10000);

    QTemporaryDir m_dir;
    QByteArray m_longMp3;
    QByteArray m_shortMp3;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<Preferences> m_preferences;
    QNetworkAccessManager m_network;
};

void TestATCAudio::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_longMp3 = makeMp3(m_dir.path(), 60);
    m_shortMp3 = makeMp3(m_dir.path(), 2);
    if (m_longMp3.isEmpty() || m_shortMp3.isEmpty())
        QSKIP("gst-launch-1.0 with lamemp3enc is needed (scripts/setup.sh installs it)");
}

void TestATCAudio::init()
{
    m_server = std::make_unique<TestServer>();
    QVERIFY(m_server->isListening());
    m_server->setReply(u"/tone.mp3"_s, answer(m_longMp3, 200, "audio/mpeg"));
    m_server->setReply(u"/short.mp3"_s, answer(m_shortMp3, 200, "audio/mpeg"));
    QFile::remove(m_dir.filePath(u"prefs.conf"_s));
    m_preferences = std::make_unique<Preferences>(m_dir.filePath(u"prefs.conf"_s));
}

void TestATCAudio::cleanup()
{
    m_preferences.reset();
    m_server.reset();
}

std::unique_ptr<ATCAudio> TestATCAudio::makeAudio()
{
    QVariantMap overrides;
    overrides.insert(u"atcStreamBase"_s, m_server->url(u"/d/"_s).toString());
    overrides.insert(u"atcDomain"_s, u"liveatc.net"_s);
    return std::make_unique<ATCAudio>(
        m_preferences.get(), &m_network, Services::withOverrides(overrides));
}

ATCFavorite TestATCAudio::favorite(const QString &name, const QUrl &url) const
{
    return ATCFavorite::make(name, url.toString());
}

bool TestATCAudio::waitFor(ATCAudio *audio, State state, int ms)
{
    return QTest::qWaitFor([&] { return audio->status().state == state; }, ms);
}

void TestATCAudio::storedFavorites_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("valid") << QByteArray(R"([{"id":"5E3A3F0B-9A50-4C4E-8F43-0A6B1D1C2E11",)"
                                         R"("name":"PDX Tower","url":"http://a/x"},)"
                                         R"({"id":"1b4e28ba-2fa1-11d2-883f-0016d3cca427",)"
                                         R"("name":"  ","url":"word"}])")
                           << QStringList { u"PDX Tower"_s, u"  "_s };
    QTest::newRow("empty list") << QByteArray("[]") << QStringList {};
    QTest::newRow("not JSON") << QByteArray("\xff\xfe not json") << QStringList {};
    QTest::newRow("object") << QByteArray(R"({"id":"x"})") << QStringList {};
    QTest::newRow("missing url") << QByteArray(
        R"([{"id":"5E3A3F0B-9A50-4C4E-8F43-0A6B1D1C2E11","name":"A"}])")
                                 << QStringList {};
    QTest::newRow("id not a UUID")
        << QByteArray(R"([{"id":"seven","name":"A","url":"http://a"}])") << QStringList {};
    QTest::newRow("name a number")
        << QByteArray(R"([{"id":"5E3A3F0B-9A50-4C4E-8F43-0A6B1D1C2E11","name":7,"url":"u"}])")
        << QStringList {};
}

void TestATCAudio::storedFavorites()
{
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, names);
    m_preferences->setAtcFavorites(stored);
    const auto audio = makeAudio();
    QStringList read;
    for (const ATCFavorite &f : audio->favorites())
        read << f.name;
    QCOMPARE(read, names);
    if (names.isEmpty() && stored != "[]") {
        // Undecodable bytes are left alone until the list next changes.
        QCOMPARE(m_preferences->atcFavorites(), stored);
        QVERIFY(audio->add(u"A"_s, u"http://a"_s));
        QCOMPARE(ATCFavorite::decodeList(m_preferences->atcFavorites())->size(), 1);
    }
}

void TestATCAudio::favoritesAndVolumeSurviveRestart()
{
    QList<ATCFavorite> saved;
    {
        const auto audio = makeAudio();
        QCOMPARE(audio->volume(), 0.8);
        audio->add(u"A"_s, u"http://a/1"_s);
        audio->add(u"B"_s, u"http://b/2"_s);
        audio->add(u"C"_s, u"http://c/3"_s);
        audio->remove(audio->favorites().at(1));
        audio->setVolume(0.35);
        saved = audio->favorites();
    }
    const auto again = makeAudio();
    QCOMPARE(again->favorites(), saved);
    QCOMPARE(again->volume(), 0.35);
}

void TestATCAudio::resolve_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QByteArray>("playlist"); // served at /p/list.pls when not null
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("stream"); // "@" stands for the server's base; empty: fails

    const QByteArray none;
    QTest::newRow("direct") << u"@/tone.mp3"_s << none << 200 << u"@/tone.mp3"_s;
    QTest::newRow("white space and line breaks trimmed")
        << u" \n@/tone.mp3\r\n"_s << none << 200 << u"@/tone.mp3"_s;
    QTest::newRow("bare word") << u"word"_s << none << 200 << QString();
    QTest::newRow("file") << u"file:///etc/passwd"_s << none << 200 << QString();
    QTest::newRow("javascript") << u"javascript:alert(1)"_s << none << 200 << QString();
    QTest::newRow("ftp") << u"ftp://a/x.mp3"_s << none << 200 << QString();
    QTest::newRow("directory page")
        << u"https://www.liveatc.net/hlisten.php?mount=kpdx_twr&icao=kpdx"_s << none << 200
        << u"@/d/kpdx_twr"_s;
    QTest::newRow("directory page without mount")
        << u"https://www.liveatc.net/hlisten.php?icao=kpdx"_s << none << 200
        << u"https://www.liveatc.net/hlisten.php?icao=kpdx"_s;
    QTest::newRow("http on the directory upgraded")
        << u"http://d.liveatc.net/kpdx_twr"_s << none << 200 << u"https://d.liveatc.net/kpdx_twr"_s;
    QTest::newRow("http elsewhere kept")
        << u"http://example.org/kpdx_twr"_s << none << 200 << u"http://example.org/kpdx_twr"_s;
    QTest::newRow("playlist") << u"@/p/list.pls"_s
                              << QByteArray("[playlist]\nNumberOfEntries=1\nFile1=@/tone.mp3\n")
                              << 200 << u"@/tone.mp3"_s;
    QTest::newRow("PLS in upper case")
        << u"@/p/LIST.PLS"_s << QByteArray("[playlist]\r\nFile1= \t@/tone.mp3\t\r\n") << 200
        << u"@/tone.mp3"_s;
    QTest::newRow("odd line breaks") << u"@/p/list.pls"_s
                                     << QByteArray("[playlist]\xe2\x80\xa8"
                                                   "File1=@/a\x0b"
                                                   "File2=@/b")
                                     << 200 << u"@/a"_s;
    QTest::newRow("entry on the directory upgraded")
        << u"@/p/list.pls"_s << QByteArray("File1=http://d.liveatc.net/kpdx_twr\n") << 200
        << u"https://d.liveatc.net/kpdx_twr"_s;
    QTest::newRow("any status is read")
        << u"@/p/list.pls"_s << QByteArray("File1=@/tone.mp3\n") << 404 << u"@/tone.mp3"_s;
    QTest::newRow("numbered from 2")
        << u"@/p/list.pls"_s << QByteArray("[playlist]\nFile2=@/tone.mp3\n") << 200 << QString();
    QTest::newRow("leading space")
        << u"@/p/list.pls"_s << QByteArray(" File1=@/tone.mp3\n") << 200 << QString();
    QTest::newRow("lower-case key")
        << u"@/p/list.pls"_s << QByteArray("file1=@/tone.mp3\n") << 200 << QString();
    QTest::newRow("HTML") << u"@/p/list.pls"_s
                          << QByteArray("<html><body>File1 is here</body></html>") << 200
                          << QString();
    QTest::newRow("empty") << u"@/p/list.pls"_s << QByteArray("") << 200 << QString();
    QTest::newRow("not UTF-8") << u"@/p/list.pls"_s << QByteArray("File1=@/tone\xff\xfe.mp3\n")
                               << 200 << QString();
    QTest::newRow("10 MB") << u"@/p/list.pls"_s
                           << (QByteArray("File1=@/tone.mp3\n") + QByteArray(10 << 20, 'x')) << 200
                           << QString();
    QTest::newRow("nested playlist")
        << u"@/p/list.pls"_s << QByteArray("File1=@/p/other.pls\n") << 200 << QString();
    QTest::newRow("entry is a file")
        << u"@/p/list.pls"_s << QByteArray("File1=file:///etc/passwd\n") << 200 << QString();
    QTest::newRow("playlist refused")
        << u"http://127.0.0.1:%1/list.pls"_s.arg(TestServer::closedPort()) << none << 200
        << QString();
}

void TestATCAudio::resolve()
{
    QFETCH(QString, link);
    QFETCH(QByteArray, playlist);
    QFETCH(int, status);
    QFETCH(QString, stream);
    const QString base = m_server->baseUrl().toString();
    if (!playlist.isNull())
        m_server->setPrefixReply(u"/p/"_s, answer(playlist.replace("@", base.toUtf8()), status));
    QVariantMap overrides;
    overrides.insert(u"atcStreamBase"_s, base + u"/d/"_s);
    StreamReply reply(
        &m_network, link.replace(u'@', base), Services::withOverrides(overrides), nullptr);
    QVERIFY(QTest::qWaitFor([&] { return reply.isFinished(); }, 5000));
    QCOMPARE(reply.stream(), stream.isEmpty() ? QUrl() : QUrl(stream.replace(u'@', base)));
    QCOMPARE(reply.errorText().isEmpty(), !stream.isEmpty());
}

void TestATCAudio::playsAndStops()
{
    const auto audio = makeAudio();
    audio->add(u"PDX Tower"_s, m_server->url(u"/tone.mp3"_s).toString());
    const ATCFavorite tower = audio->favorites().constFirst();
    QSignalSpy statuses(audio.get(), &ATCAudio::statusChanged);

    audio->toggle(tower);
    QCOMPARE(audio->status().state, State::Buffering);
    QCOMPARE(audio->playingFavoriteID(), tower.id);
    QVERIFY(waitFor(audio.get(), State::Playing));
    QCOMPARE(audio->status().text(), u"Playing PDX Tower"_s);

    // The volume reaches the playing stream at once.
    QVERIFY(audio->audioOutput());
    audio->setVolume(0.25);
    QCOMPARE(audio->audioOutput()->volume(), 0.25f);

    audio->toggle(tower);
    QCOMPARE(audio->status().state, State::Idle);
    QVERIFY(audio->playingFavoriteID().isNull());
    QVERIFY(!audio->audioOutput());
    // Nothing the stopped player says later changes the status.
    QTest::qWait(500);
    QCOMPARE(audio->status().state, State::Idle);
    QCOMPARE(m_preferences->atcVolume(), 0.25);
}

void TestATCAudio::failingStreamsAreOffline_data()
{
    QTest::addColumn<QString>("link");

    QTest::newRow("404") << u"@/missing.mp3"_s;
    QTest::newRow("refused") << u"http://127.0.0.1:%1/x.mp3"_s.arg(TestServer::closedPort());
    QTest::newRow("HTML for audio") << u"@/page"_s;
    QTest::newRow("bare word") << u"word"_s;
    QTest::newRow("bad playlist") << u"@/p/bad.pls"_s;
}

void TestATCAudio::failingStreamsAreOffline()
{
    QFETCH(QString, link);
    m_server->setReply(u"/page"_s, answer("<html><body>hello</body></html>", 200, "text/html"));
    m_server->setReply(u"/p/bad.pls"_s, answer("<html></html>"));
    const auto audio = makeAudio();
    audio->add(u"KPDX"_s, link.replace(u'@', m_server->baseUrl().toString()));
    audio->play(audio->favorites().constFirst());
    QVERIFY(waitFor(audio.get(), State::Offline));
    QCOMPARE(audio->status().name, u"KPDX"_s);
    QVERIFY(audio->playingFavoriteID().isNull());
    QVERIFY(!audio->audioOutput());
}

void TestATCAudio::switchingDropsTheOldStream()
{
    const auto audio = makeAudio();
    audio->add(u"A"_s, m_server->url(u"/tone.mp3"_s).toString());
    audio->add(u"B"_s, m_server->url(u"/missing.mp3"_s).toString());
    const ATCFavorite a = audio->favorites().at(0);
    const ATCFavorite b = audio->favorites().at(1);
    audio->play(a);
    QVERIFY(waitFor(audio.get(), State::Playing));
    audio->toggle(b);
    QCOMPARE(audio->playingFavoriteID(), b.id);
    QCOMPARE(audio->status().state, State::Buffering);
    QVERIFY(waitFor(audio.get(), State::Offline));
    QCOMPARE(audio->status().name, u"B"_s);
    // Offline stays until the next play.
    QTest::qWait(500);
    QCOMPARE(audio->status().state, State::Offline);
}

void TestATCAudio::staleResolutionIsDropped()
{
    TestServer::Reply slow = answer("File1=" + m_server->url(u"/tone.mp3"_s).toEncoded());
    slow.delayMs = 300;
    m_server->setReply(u"/slow.pls"_s, slow);
    const auto audio = makeAudio();
    audio->add(u"Slow"_s, m_server->url(u"/slow.pls"_s).toString());
    const ATCFavorite f = audio->favorites().constFirst();
    audio->toggle(f);
    audio->toggle(f);
    QCOMPARE(audio->status().state, State::Idle);
    QTest::qWait(800);
    QCOMPARE(audio->status().state, State::Idle);
    QVERIFY(!audio->audioOutput());
}

void TestATCAudio::removeWhileBuffering()
{
    TestServer::Reply silent;
    silent.hang = true;
    m_server->setReply(u"/silent.mp3"_s, silent);
    const auto audio = makeAudio();
    audio->add(u"Silent"_s, m_server->url(u"/silent.mp3"_s).toString());
    audio->add(u"Other"_s, u"http://other/x"_s);
    const ATCFavorite silentFeed = audio->favorites().at(0);
    audio->play(silentFeed);
    QVERIFY(QTest::qWaitFor([&] { return audio->audioOutput() != nullptr; }, 5000));
    QCOMPARE(audio->status().state, State::Buffering);

    // Removing another favourite leaves playback alone.
    audio->remove(audio->favorites().at(1));
    QCOMPARE(audio->playingFavoriteID(), silentFeed.id);
    QCOMPARE(audio->status().state, State::Buffering);

    audio->remove(silentFeed);
    QCOMPARE(audio->status().state, State::Idle);
    QVERIFY(audio->playingFavoriteID().isNull());
    QVERIFY(audio->favorites().isEmpty());
    QVERIFY(!audio->audioOutput());
}

void TestATCAudio::feedThatEndsIsOffline()
{
    const auto audio = makeAudio();
    audio->add(u"Short"_s, m_server->url(u"/short.mp3"_s).toString());
    audio->play(audio->favorites().constFirst());
    QVERIFY(waitFor(audio.get(), State::Playing));
    QVERIFY(waitFor(audio.get(), State::Offline));
    QCOMPARE(audio->status().text(),
        u"Short appears offline — feeds are volunteer-run; try again later or use another feed."_s);
}

void TestATCAudio::feedThatGoesSilentIsOffline()
{
    // A feed whose source goes silent with the connection still open: a few seconds of audio,
    // then nothing, the way a volunteer's encoder dies.
    QTcpServer feed;
    QVERIFY(feed.listen(QHostAddress::LocalHost));
    const QByteArray firstSeconds = m_longMp3.left(96 * 1024);
    connect(&feed, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket *socket = feed.nextPendingConnection()) {
            socket->setParent(&feed);
            connect(socket, &QTcpSocket::readyRead, socket, [socket, firstSeconds] {
                socket->readAll();
                socket->write("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + firstSeconds);
            });
        }
    });
    const auto audio = makeAudio();
    audio->add(u"Stalls"_s, u"http://127.0.0.1:%1/feed"_s.arg(feed.serverPort()));
    audio->play(audio->favorites().constFirst());
    QVERIFY(waitFor(audio.get(), State::Playing));
    QVERIFY(waitFor(audio.get(), State::Offline, 25000));
    QCOMPARE(audio->status().name, u"Stalls"_s);
}

// A real Icecast server on a free port, fed a live tone by GStreamer, as a volunteer's feed is.
void TestATCAudio::icecastStreamPlaysStopsAndGoesOffline()
{
    if (QStandardPaths::findExecutable(u"icecast2"_s).isEmpty())
        QSKIP("icecast2 is needed (scripts/setup.sh installs it)");
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();

    // Icecast will not run as root; it then drops to nobody, who must reach its log folder.
    QTemporaryDir logs;
    QVERIFY(QFile::setPermissions(logs.path(), QFileDevice::Permissions(0x7777)));
    const bool root = ::geteuid() == 0;
    const QString config = u"<icecast><limits><sources>2</sources></limits>"
                           "<authentication><source-password>tower</source-password>"
                           "<admin-password>tower</admin-password></authentication>"
                           "<hostname>127.0.0.1</hostname><listen-socket><port>%1</port>"
                           "<bind-address>127.0.0.1</bind-address></listen-socket>"
                           "<paths><logdir>%2</logdir><webroot>/usr/share/icecast2/web</webroot>"
                           "<adminroot>/usr/share/icecast2/admin</adminroot></paths>"
                           "<logging><errorlog>-</errorlog><loglevel>1</loglevel></logging>"
                           "<security><chroot>0</chroot>%3</security></icecast>"_s.arg(port)
                               .arg(logs.path(),
                                   root ? u"<changeowner><user>nobody</user>"
                                          "<group>nogroup</group></changeowner>"_s
                                        : QString());
    QFile file(m_dir.filePath(u"icecast.xml"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(config.toUtf8());
    file.close();
    QProcess icecast;
    icecast.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    icecast.start(u"icecast2"_s, { u"-c"_s, file.fileName() });
    QVERIFY(icecast.waitForStarted());

    QProcess source;
    source.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList pipeline { u"-q"_s, u"audiotestsrc"_s, u"is-live=true"_s, u"!"_s,
        u"audioconvert"_s, u"!"_s, u"lamemp3enc"_s, u"!"_s, u"shout2send"_s, u"ip=127.0.0.1"_s,
        u"port=%1"_s.arg(port), u"password=tower"_s, u"mount=/tower.mp3"_s };
    // The server takes a moment to listen; the source retries until it is let in.
    const auto mountIsUp = [port] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(500))
            return false;
        socket.write("GET /tower.mp3 HTTP/1.0\r\n\r\n");
        return socket.waitForReadyRead(1000) && socket.readLine().contains(" 200 ");
    };
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (source.state() == QProcess::NotRunning)
                source.start(u"gst-launch-1.0"_s, pipeline);
            return mountIsUp();
        },
        15000));

    const auto audio = makeAudio();
    audio->add(u"Icecast Tower"_s, u"http://127.0.0.1:%1/tower.mp3"_s.arg(port));
    audio->play(audio->favorites().constFirst());
    QVERIFY(waitFor(audio.get(), State::Playing, 15000));
    QCOMPARE(audio->status().name, u"Icecast Tower"_s);

    audio->toggle(audio->favorites().constFirst());
    QCOMPARE(audio->status().state, State::Idle);
    QVERIFY(audio->playingFavoriteID().isNull());

    // When the volunteer's encoder goes away, Icecast drops its listeners: the feed is offline.
    audio->toggle(audio->favorites().constFirst());
    QVERIFY(waitFor(audio.get(), State::Playing, 15000));
    source.kill();
    source.waitForFinished();
    QVERIFY(waitFor(audio.get(), State::Offline, 25000));
    QCOMPARE(audio->status().name, u"Icecast Tower"_s);
    icecast.kill();
    icecast.waitForFinished();
}

QTEST_GUILESS_MAIN(TestATCAudio)
#include "tst_atcaudio.moc"
