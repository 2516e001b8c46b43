// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutwindow.h"
#include "helpwindow.h"
#include "preferences.h"
#include "radaricon.h"
#include "schemehandler.h"
#include "services.h"
#include "views/linkbutton.h"
#include "weblink.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

int countColor(const QImage &image, const QColor &color, int tolerance)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) <= tolerance
                && std::abs(c.green() - color.green()) <= tolerance
                && std::abs(c.blue() - color.blue()) <= tolerance)
                ++n;
        }
    }
    return n;
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(15000))
        return u"(timed out)"_s;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Runs one registration to its end and returns the lines it logged.
QStringList registerOnce(const QString &executable)
{
    SchemeHandler handler(nullptr);
    QSignalSpy lines(&handler, &SchemeHandler::logLine);
    QSignalSpy finished(&handler, &SchemeHandler::finished);
    handler.ensureRegistered(executable);
    if (!finished.wait(20000))
        return { u"(never finished)"_s };
    QStringList logged;
    for (const QList<QVariant> &line : lines)
        logged << line.first().toString();
    return logged;
}

} // namespace

// The Help and About windows, the radar icon and the skyvelle:// registration.
class TestDesktop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void helpListsTheTopicsInOrder()
    {
        HelpWindow help;
        QCOMPARE(help.windowTitle(), u"Skyvelle Help"_s);
        QCOMPARE(help.size(), QSize(780, 540));
        auto *sidebar = help.findChild<QListWidget *>(u"helpTopics"_s);
        QStringList titles;
        for (int i = 0; i < sidebar->count(); ++i)
            titles << sidebar->item(i)->text();
        QCOMPARE(titles,
            QStringList({ u"Getting started"_s, u"The map"_s, u"The sidebar"_s,
                u"Icons and colours"_s, u"Widgets"_s, u"Settings"_s, u"Your data"_s,
                u"Frequently asked questions"_s }));
    }

    void helpArrowKeysMoveBetweenTopics()
    {
        HelpWindow help;
        help.present(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        auto *sidebar = help.findChild<QListWidget *>(u"helpTopics"_s);
        auto *page = help.findChild<QTextBrowser *>(u"helpPage"_s);
        QCOMPARE(page->document()->firstBlock().text(), u"Getting started"_s);

        QTest::keyClick(sidebar, Qt::Key_Down);
        QCOMPARE(help.currentTopic(), 1);
        QCOMPARE(page->document()->firstBlock().text(), u"The map"_s);
        QTest::keyClick(sidebar, Qt::Key_Up);
        QTest::keyClick(sidebar, Qt::Key_Up);
        QCOMPARE(help.currentTopic(), 0);
        QCOMPARE(page->document()->firstBlock().text(), u"Getting started"_s);
    }

    void helpFindHighlightsAndMovesOn()
    {
        HelpWindow help;
        help.present(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        auto *page = help.findChild<QTextBrowser *>(u"helpPage"_s);
        auto *field = help.findChild<QLineEdit *>(u"findField"_s);
        const QImage before = page->viewport()->grab().toImage();

        QTest::keyClick(&help, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(field->isVisible());
        QVERIFY(field->hasFocus());
        QTest::keyClicks(field, u"tray"_s);
        QCOMPARE(page->textCursor().selectedText().toLower(), u"tray"_s);
        QCOMPARE(page->extraSelections().size(), 2);
        QCOMPARE(help.findChild<QLabel *>(u"findStatus"_s)->text(), u"2 matches"_s);
        // Drawn: the marked words add the highlight's orange to the page.
        const QImage marked = page->viewport()->grab().toImage();
        QVERIFY(countColor(marked, QColor(255, 200, 150), 60)
            > countColor(before, QColor(255, 200, 150), 60) + 50);

        // Enter goes to the second match, then on past the page's end to the next topic that
        // has one.
        const int first = page->textCursor().position();
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(page->textCursor().position() > first);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(help.currentTopic(), 7);
        QCOMPARE(page->textCursor().selectedText().toLower(), u"tray"_s);

        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!field->isVisible());
        QVERIFY(page->extraSelections().isEmpty());
    }

    void helpFindReportsNothing()
    {
        HelpWindow help;
        help.showTopic(3);
        help.find(u"zeppelin"_s);
        QCOMPARE(help.currentTopic(), 3);
        QCOMPARE(help.findChild<QLabel *>(u"findStatus"_s)->text(), u"Not found"_s);
    }

    void aboutShowsVersionAndWebLinksOnly_data()
    {
        QTest::addColumn<QVariantMap>("overrides");
        QTest::addColumn<int>("links");
        QTest::newRow("defaults") << QVariantMap() << 10;
        // Addresses from a hand-edited settings file: none of them may become a link.
        QTest::newRow("hostile settings") << QVariantMap(
            { { u"homepage"_s, u"file:///etc/passwd"_s },
                { u"feedPrimary"_s, u"javascript:alert(1)"_s },
                { u"feedPrimaryName"_s, u"<b>Mine</b>"_s }, { u"routes"_s, u"skyvelle://shot"_s } })
                                          << 6;
    }
    void aboutShowsVersionAndWebLinksOnly()
    {
        QFETCH(QVariantMap, overrides);
        QFETCH(int, links);
        QTemporaryDir dir;
        Preferences preferences(dir.filePath(u"Skyvelle.conf"_s));
        AboutWindow about(Services::withOverrides(overrides), &preferences);
        about.present(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&about));

        QCOMPARE(about.windowTitle(), u"About Skyvelle"_s);
        QCOMPARE(about.findChild<QLabel *>(u"version"_s)->text(),
            u"Version "_s + QString::fromLatin1(SKYVELLE_VERSION));
        QCOMPARE(about.minimumSize(), about.maximumSize());

        const QList<LinkButton *> buttons = about.findChildren<LinkButton *>();
        QCOMPARE(buttons.size(), links);
        for (const LinkButton *button : buttons) {
            QVERIFY2(WebLink::isWeb(button->url()), qPrintable(button->url().toString()));
            QVERIFY(button->url().scheme().startsWith(u"http"_s));
        }
        for (const QLabel *label : about.findChildren<QLabel *>()) {
            if (!label->text().isEmpty())
                QCOMPARE(label->textFormat(), Qt::PlainText);
        }
        if (overrides.isEmpty()) {
            QStringList urls;
            for (const LinkButton *button : buttons)
                urls << button->url().toString();
            QVERIFY(urls.contains(u"https://skyvelle.app"_s));
            QVERIFY(urls.contains(u"https://skyvelle.app#releases"_s));
            QVERIFY(urls.contains(u"https://opendata.adsb.fi"_s));
            QVERIFY(urls.contains(u"https://www.openstreetmap.org/copyright"_s));
        }
    }

    void aboutIconMovesUnlessMotionIsReduced_data()
    {
        QTest::addColumn<bool>("reduceMotion");
        QTest::newRow("motion") << false;
        QTest::newRow("reduced motion") << true;
    }
    void aboutIconMovesUnlessMotionIsReduced()
    {
        QFETCH(bool, reduceMotion);
        QTemporaryDir dir;
        Preferences preferences(dir.filePath(u"Skyvelle.conf"_s));
        preferences.setReduceMotion(reduceMotion);
        AboutWindow about(Services::defaults(), &preferences);
        about.present(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto *icon = about.findChild<QWidget *>(u"radarIcon"_s);

        const QImage first = icon->grab().toImage();
        QTest::qWait(300);
        const QImage second = icon->grab().toImage();
        QCOMPARE(first == second, reduceMotion);

        // Asking for less motion while the window is open stops the sweep at once.
        preferences.setReduceMotion(true);
        const QImage still = icon->grab().toImage();
        QTest::qWait(300);
        QCOMPARE(icon->grab().toImage(), still);
    }

    void radarIconDrawsWithinItsRect_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::newRow("square") << QRectF(40, 40, 96, 96);
        QTest::newRow("wide") << QRectF(10, 60, 200, 50);
        QTest::newRow("tall, at a fraction") << QRectF(100.5, 5.5, 30, 180);
        QTest::newRow("tiny") << QRectF(150, 150, 16, 16);
    }
    void radarIconDrawsWithinItsRect()
    {
        QFETCH(QRectF, rect);
        auto render = [&](double phase) {
            QImage image(220, 220, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            RadarIcon::paint(&painter, rect, phase);
            return image;
        };
        const QImage image = render(0.0);
        int inside = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) == 0)
                    continue;
                QVERIFY2(rect.adjusted(-1, -1, 1, 1).contains(QPointF(x + 0.5, y + 0.5)),
                    qPrintable(u"painted at %1,%2"_s.arg(x).arg(y)));
                ++inside;
            }
        }
        const double side = std::min(rect.width(), rect.height());
        QVERIFY(inside > 0.8 * side * side); // the rounded tile fills its square
        QVERIFY(render(0.5) != image);
        QCOMPARE(render(1.25), render(0.25));
    }

    void schemeRegistration()
    {
        if (QStandardPaths::findExecutable(u"xdg-mime"_s).isEmpty()
            || QStandardPaths::findExecutable(u"xdg-open"_s).isEmpty())
            QSKIP("xdg-utils is not installed (scripts/setup.sh installs it)");
        QTemporaryDir dir;
        const QDir root(dir.path());
        // xdg-utils' generic mode splits folder lists and Exec keys at spaces, so the paths
        // here have none; desktopEntryQuotesTheProgram covers the quoting.
        QVERIFY(root.mkpath(u"data-home"_s) && root.mkpath(u"config"_s) && root.mkpath(u"no data"_s)
            && root.mkpath(u"apps"_s));
        const EnvironmentScope env(root);

        // Stands in for Skyvelle: writes the link it is given.
        const QString received = root.filePath(u"received"_s);
        const QString program = root.filePath(u"apps/fake-skyvelle"_s);
        {
            QFile script(program);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\nprintf '%s' \"$1\" > '" + received.toUtf8() + "'\n");
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        QCOMPARE(run(u"xdg-mime"_s, { u"query"_s, u"default"_s, u"x-scheme-handler/skyvelle"_s }),
            QString());

        const QString entry = root.filePath(u"data-home/applications/skyvelle.desktop"_s);
        QCOMPARE(registerOnce(program),
            QStringList({ u"registered as the skyvelle:// handler (wrote "_s + entry + u')' }));
        QCOMPARE(QFile(entry).permissions() & (QFile::ReadOther | QFile::WriteOther),
            QFile::Permissions());
        QCOMPARE(run(u"xdg-mime"_s, { u"query"_s, u"default"_s, u"x-scheme-handler/skyvelle"_s }),
            u"skyvelle.desktop"_s);

        QProcess open;
        open.start(u"xdg-open"_s, { u"skyvelle://aircraft/abc"_s });
        QVERIFY(open.waitForFinished(15000));
        QTRY_COMPARE(readAll(received), QByteArray("skyvelle://aircraft/abc"));

        // Registered now: a second start changes nothing and says nothing.
        const QByteArray written = readAll(entry);
        QCOMPARE(registerOnce(u"/elsewhere/skyvelle"_s), QStringList());
        QCOMPARE(readAll(entry), written);
    }

    void schemeRegistrationLeavesOtherHandlers()
    {
        if (QStandardPaths::findExecutable(u"xdg-mime"_s).isEmpty())
            QSKIP("xdg-utils is not installed (scripts/setup.sh installs it)");
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(
            root.mkpath(u"data-home"_s) && root.mkpath(u"config"_s) && root.mkpath(u"no data"_s));
        const EnvironmentScope env(root);
        QVERIFY(root.mkpath(u"data-home/applications"_s));
        QFile other(root.filePath(u"data-home/applications/other-tracker.desktop"_s));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true %u\n"
                    "MimeType=x-scheme-handler/skyvelle;\n");
        other.close();
        QFile list(root.filePath(u"config/mimeapps.list"_s));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("[Default Applications]\nx-scheme-handler/skyvelle=other-tracker.desktop\n");
        list.close();

        QCOMPARE(registerOnce(u"/usr/bin/skyvelle"_s), QStringList());
        QVERIFY(!QFile::exists(root.filePath(u"data-home/applications/skyvelle.desktop"_s)));
    }

    void schemeRegistrationReportsMissingTools()
    {
        QTemporaryDir dir;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", dir.path().toUtf8());
        const QStringList lines = registerOnce(u"/usr/bin/skyvelle"_s);
        qputenv("PATH", path);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(u"could not register as the skyvelle:// handler: "
                                          "xdg-mime cannot be run"_s),
            qPrintable(lines.first()));
    }

    void desktopEntryQuotesTheProgram_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << u"/opt/sky/skyvelle"_s << u"Exec=/opt/sky/skyvelle %u"_s;
        QTest::newRow("space") << u"/opt/my sky/skyvelle"_s
                               << u"Exec=\"/opt/my sky/skyvelle\" %u"_s;
        QTest::newRow("percent") << u"/opt/100%/skyvelle"_s << u"Exec=/opt/100%%/skyvelle %u"_s;
        // Quoting escapes the shell's specials, then the string escape doubles the backslashes.
        QTest::newRow("dollar and backslash")
            << u"/opt/$HOME\\x/sky"_s << u"Exec=\"/opt/\\\\$HOME\\\\\\\\x/sky\" %u"_s;
    }
    void desktopEntryQuotesTheProgram()
    {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        const QStringList lines = QString::fromUtf8(SchemeHandler::desktopEntry(path)).split(u'\n');
        QVERIFY2(lines.contains(exec), qPrintable(lines.join(u'\n')));
    }

private:
    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A private desktop for xdg-utils: its own data and config homes, no system data folders
    // and no desktop environment to ask, restored when the test ends.
    class EnvironmentScope {
    public:
        explicit EnvironmentScope(const QDir &root)
        {
            set("XDG_DATA_HOME", root.filePath(u"data-home"_s).toUtf8());
            set("XDG_CONFIG_HOME", root.filePath(u"config"_s).toUtf8());
            set("XDG_DATA_DIRS", root.filePath(u"no data"_s).toUtf8());
            set("XDG_CONFIG_DIRS", root.filePath(u"no data"_s).toUtf8());
            for (const char *name : { "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                     "GNOME_DESKTOP_SESSION_ID", "BROWSER", "DBUS_SESSION_BUS_ADDRESS" })
                set(name, {});
            // xdg-open only looks for scheme handlers when it believes a display is there.
            if (qEnvironmentVariableIsEmpty("DISPLAY")
                && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
                set("DISPLAY", ":0");
        }
        ~EnvironmentScope()
        {
            for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
                if (it.value().isNull())
                    qunsetenv(it.key().constData());
                else
                    qputenv(it.key().constData(), it.value());
            }
        }

    private:
        void set(const char *name, const QByteArray &value)
        {
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
        QMap<QByteArray, QByteArray> m_saved;
    };
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
