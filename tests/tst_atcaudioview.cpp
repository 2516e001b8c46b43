// SPDX-License-Identifier: GPL-3.0-or-later
#include "atcaudio.h"
#include "preferences.h"
#include "systemcolors.h"
#include "testserver.h"
#include "views/atcaudioview.h"

#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestATCAudioView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void addRule_data();
    void addRule();
    void firstStreamReplacesTheIntroduction();
    void rowsToggleAndRemoveFromTheKeyboard();
    void offlineStatusInOrange();
    void sliderSetsTheVolume();

private:
    QTemporaryDir m_dir;
    QNetworkAccessManager m_network;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<ATCAudio> m_audio;
    std::unique_ptr<ATCAudioView> m_view;
};

void TestATCAudioView::init()
{
    QFile::remove(m_dir.filePath(u"prefs.conf"_s));
    m_preferences = std::make_unique<Preferences>(m_dir.filePath(u"prefs.conf"_s));
    m_audio = std::make_unique<ATCAudio>(m_preferences.get(), &m_network, Services::defaults());
    m_view = std::make_unique<ATCAudioView>(m_audio.get());
    m_view->show();
}

void TestATCAudioView::cleanup()
{
    m_view.reset();
    m_audio.reset();
    m_preferences.reset();
}

void TestATCAudioView::addRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("adds");

    QTest::newRow("both") << u"PDX Tower"_s << u"https://a/x.pls"_s << true << true;
    QTest::newRow("name of spaces") << u"  "_s << u"https://a/x"_s << true << true;
    QTest::newRow("bare word") << u"W"_s << u"word"_s << true << true;
    QTest::newRow("no name") << QString() << u"https://a/x"_s << false << false;
    QTest::newRow("link of spaces") << u"A"_s << u" \t "_s << false << false;
    QTest::newRow("link not a URL") << u"A"_s << u"http://a b"_s << true << false;
}

void TestATCAudioView::addRule()
{
    QFETCH(QString, name);
    QFETCH(QString, link);
    QFETCH(bool, enabled);
    QFETCH(bool, adds);
    QTest::keyClicks(m_view->nameField(), name);
    QTest::keyClicks(m_view->linkField(), link);
    QCOMPARE(m_view->addButton()->isEnabled(), enabled);
    if (!enabled)
        return;
    QTest::mouseClick(m_view->addButton(), Qt::LeftButton);
    QCOMPARE(m_audio->favorites().size(), adds ? 1 : 0);
    // Only a saved stream clears the fields.
    QCOMPARE(m_view->nameField()->text().isEmpty(), adds);
}

void TestATCAudioView::firstStreamReplacesTheIntroduction()
{
    auto *intro = m_view->findChild<QLabel *>(u"atcIntro"_s);
    QVERIFY(intro->isVisible());
    QVERIFY(m_view->rowButtons().isEmpty());
    QCOMPARE(m_view->statusLabel()->text(), u"Not playing"_s);

    m_audio->add(u"PDX Tower"_s, u"https://a/x"_s);
    QVERIFY(!intro->isVisible());
    QCOMPARE(m_view->rowButtons().size(), 1);
    QCOMPARE(m_view->rowButtons().constFirst()->text(), u"PDX Tower"_s);
    QCOMPARE(m_view->width(), 320);
}

void TestATCAudioView::rowsToggleAndRemoveFromTheKeyboard()
{
    // Streams that never answer stay buffering, so the row stays the playing one.
    TestServer server;
    TestServer::Reply silent;
    silent.hang = true;
    server.setDefaultReply(silent);
    m_audio->add(u"A"_s, server.url(u"/a"_s).toString());
    m_audio->add(u"B"_s, server.url(u"/b"_s).toString());
    QToolButton *a = m_view->rowButtons().at(0);

    QTest::mouseClick(a, Qt::LeftButton);
    QCOMPARE(m_audio->playingFavoriteID(), m_audio->favorites().at(0).id);
    QCOMPARE(a->accessibleName(), u"A, playing"_s);
    QCOMPARE(ATCAudioView::buttonSymbol(m_audio.get()), u"headphones"_s);
    QCOMPARE(m_view->statusLabel()->text(), u"Buffering…"_s);

    a->setFocus();
    QTest::keyClick(a, Qt::Key_Return);
    QVERIFY(m_audio->playingFavoriteID().isNull());
    QCOMPARE(a->accessibleName(), u"A"_s);

    QTest::keyClick(a, Qt::Key_Down);
    QToolButton *b = m_view->rowButtons().at(1);
    QCOMPARE(m_view->focusWidget(), b);
    QTest::keyClick(b, Qt::Key_Space);
    QCOMPARE(m_audio->playingFavoriteID(), m_audio->favorites().at(1).id);
    QTest::keyClick(b, Qt::Key_Delete);
    QCOMPARE(m_audio->favorites().size(), 1);
    QCOMPARE(m_audio->favorites().constFirst().name, u"A"_s);
    QCOMPARE(m_audio->status().state, ATCAudio::State::Idle);
    QCOMPARE(m_view->rowButtons().size(), 1);
}

void TestATCAudioView::offlineStatusInOrange()
{
    m_audio->add(u"Word"_s, u"word"_s);
    QTest::mouseClick(m_view->rowButtons().constFirst(), Qt::LeftButton);
    QTRY_COMPARE(m_audio->status().state, ATCAudio::State::Offline);
    QLabel *status = m_view->statusLabel();
    QCOMPARE(status->text(),
        u"Word appears offline — feeds are volunteer-run; try again later or use another feed."_s);
    QCOMPARE(
        status->palette().color(QPalette::WindowText), SystemColors::orange(m_view->palette()));
}

void TestATCAudioView::sliderSetsTheVolume()
{
    QCOMPARE(m_view->volumeSlider()->value(), 80);
    QCOMPARE(m_view->volumeSlider()->accessibleName(), u"Volume"_s);
    m_view->volumeSlider()->setValue(30);
    QCOMPARE(m_audio->volume(), 0.3);
    m_audio->setVolume(0.6);
    QCOMPARE(m_view->volumeSlider()->value(), 60);
}

QTEST_MAIN(TestATCAudioView)
#include "tst_atcaudioview.moc"
