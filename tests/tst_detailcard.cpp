// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftdecoder.h"
#include "appearance.h"
#include "flightstore.h"
#include "preferences.h"
#include "testserver.h"
#include "views/aircraftdetailcard.h"

#include <QAccessible>
#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// JSON written with single quotes, so that the literals need no escaping.
QByteArray doc(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

const HomeLocation portland { 45.5, -122.6, u"Portland"_s };

const QByteArray fullRecord =
    doc("{'hex':'a1b2c3','flight':'UAL123  ','r':'N12345','t':'B738', 'ownOp':'UNITED "
        "AIRLINES','alt_baro':35000,'gs':451.6,'track':359.6,'baro_rate':-1280, "
        "'squawk':'1200','lat':45.6,'lon':-122.5,'dst':2.78,'dir':315}");
const QByteArray minimalRecord = doc("{'hex':'abc123','lat':45.6,'lon':-122.5}");

const QByteArray routeBody =
    doc("{'response':{'flightroute':{ "
        "'origin':{'iata_code':'SFO','icao_code':'KSFO','municipality':'San Francisco'}, "
        "'destination':{'iata_code':'SEA','icao_code':'KSEA','municipality':'Seattle'}}}}");

using Rows = QList<std::pair<QString, QString>>;

TestServer::Reply json(const QByteArray &body)
{
    TestServer::Reply reply;
    reply.body = body;
    return reply;
}

QByteArray redPng()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

// A wide picture (sky over ground) that shows how the photo frame crops it.
QByteArray skyPng()
{
    QImage image(420, 280, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0, QColor(40, 110, 200));
    sky.setColorAt(1, QColor(170, 210, 240));
    painter.fillRect(0, 0, 420, 200, sky);
    painter.fillRect(0, 200, 420, 80, QColor(90, 120, 60));
    painter.end();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

Aircraft decoded(const QByteArray &record)
{
    AircraftDecoder decoder;
    return *decoder.decodeAircraft(record);
}

} // namespace

class TestDetailCard : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<FlightStore> m_store;
    // Stands in for the map that hosts the card.
    std::unique_ptr<QWidget> m_host;
    AircraftDetailCard *m_card = nullptr;
    QNetworkAccessManager m_network;
    QList<QUrl> m_opened;

    // Starts a store whose feed answers with @p records, and a card over it.
    void start(const QList<QByteArray> &records)
    {
        m_server->setPrefixReply(u"/v2/point/"_s, json("{\"ac\":[" + records.join(',') + "]}"));
        m_preferences->setHomeLocation(*portland.toJsonBytes());
        QVariantMap overrides;
        for (const char *key : { "feedPrimary", "feedSecondary", "routes", "photos" })
            overrides.insert(QString::fromLatin1(key), m_server->baseUrl().toString());
        overrides.insert(u"globe"_s, u"https://globe.example.org"_s);
        overrides.insert(u"contact"_s, u"planes@example.org"_s);
        m_store = std::make_unique<FlightStore>(m_preferences.get(), &m_network,
            Services::withOverrides(overrides), m_dir->filePath(u"data"_s));
        QSignalSpy applied(m_store.get(), &FlightStore::answerApplied);
        QVERIFY(applied.wait(3000));
        m_host = std::make_unique<QWidget>();
        m_host->resize(800, 600);
        m_card =
            new AircraftDetailCard(m_store.get(), m_preferences.get(), &m_network, m_host.get());
        m_host->show();
    }

    void select(const QString &hex)
    {
        m_store->setSelectedHex(hex);
        QVERIFY(m_card->isVisible());
    }

    Rows rows() const
    {
        Rows result;
        const auto facts = m_card->findChildren<QWidget *>(u"factRow"_s);
        for (QWidget *row : facts) {
            if (row->isHidden())
                continue;
            result.append({ row->findChild<QLabel *>(u"factLabel"_s)->text(),
                row->findChild<QLabel *>(u"factValue"_s)->text() });
        }
        return result;
    }

    QString value(const QString &label) const
    {
        for (const auto &[name, text] : rows()) {
            if (name == label)
                return text;
        }
        return QString();
    }

    QLabel *label(const QString &name) const { return m_card->findChild<QLabel *>(name); }

    QColor photoCentre() const
    {
        const QImage image = label(u"photo"_s)->pixmap().toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }

    void click(QWidget *widget)
    {
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    }

public Q_SLOTS:
    // Stands in for the browser.
    void openUrl(const QUrl &url) { m_opened.append(url); }

private Q_SLOTS:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(u"http"_s, this, "openUrl");
        QDesktopServices::setUrlHandler(u"https"_s, this, "openUrl");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(u"http"_s);
        QDesktopServices::unsetUrlHandler(u"https"_s);
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<TestServer>();
        m_server->setPrefixReply(u"/api/v2/"_s, json(doc("{'aircraft':[]}")));
        m_preferences = std::make_unique<Preferences>(m_dir->filePath(u"Skyvelle.conf"_s));
        m_opened.clear();
    }

    void cleanup()
    {
        m_host.reset();
        m_card = nullptr;
        m_store.reset();
        m_preferences.reset();
        m_server.reset();
        m_dir.reset();
    }

    void hiddenWithoutSelection()
    {
        start({ minimalRecord });
        QVERIFY(!m_card->isVisible());
        select(u"abc123"_s);
        m_store->setSelectedHex(QString());
        QVERIFY(!m_card->isVisible());
        // Nothing shown, nothing asked.
        QTRY_COMPARE(m_server->requestCount(u"/pub/"_s), 1);
    }

    void minimalAircraftShowsThreeRows()
    {
        start({ minimalRecord });
        select(u"abc123"_s);
        QCOMPARE(label(u"name"_s)->text(), u"ABC123"_s);
        QVERIFY(label(u"type"_s)->isHidden());
        QVERIFY(label(u"emergency"_s)->isHidden());
        QCOMPARE(rows(),
            (Rows { { u"Altitude"_s, u"—"_s }, { u"Ground speed"_s, u"—"_s },
                { u"ICAO hex"_s, u"ABC123"_s } }));
        // The photo service knows nothing of it: no photo block, ever.
        QTRY_VERIFY(m_store->photoMisses().contains(u"abc123"_s));
        QVERIFY(!label(u"photo"_s)->isVisible());
    }

    void fullAircraft()
    {
        m_server->setReply(u"/v0/callsign/UAL123"_s, json(routeBody));
        start({ fullRecord });
        const Aircraft plane = decoded(fullRecord);
        select(u"a1b2c3"_s);
        // The route is looked up under the trimmed callsign and shows when it arrives.
        QTRY_COMPARE(rows().value(0).first, u"Route"_s);
        QCOMPARE(label(u"name"_s)->text(), u"UAL123"_s);
        QCOMPARE(label(u"type"_s)->text(), *plane.typeName());
        QVERIFY(!label(u"type"_s)->isHidden());
        QCOMPARE(rows(),
            (Rows {
                { u"Route"_s, u"SFO → SEA"_s },
                { u"Operator"_s, u"United Airlines"_s },
                { u"Type"_s, u"B738"_s },
                { u"Registration"_s, u"N12345"_s },
                { u"Altitude"_s, plane.altitudeText() },
                { u"Ground speed"_s, u"452 kt"_s },
                { u"Vertical"_s, *plane.verticalText() },
                { u"Track"_s, u"360°"_s },
                { u"Squawk"_s, u"1200"_s },
                { u"Distance"_s, u"3.2 mi"_s },
                { u"Spot it"_s, *plane.lookDirection() },
                { u"ICAO hex"_s, u"A1B2C3"_s },
            }));
        const auto facts = m_card->findChildren<QWidget *>(u"factRow"_s);
        QVERIFY(facts.first()
                    ->findChild<QLabel *>(u"factValue"_s)
                    ->toolTip()
                    .contains(u"San Francisco → Seattle"_s));

        m_preferences->setDistanceUnit(Preferences::DistanceUnit::Kilometers);
        QCOMPARE(value(u"Distance"_s), u"5.1 km"_s);

        // Later polls redraw the card but do not ask again.
        QSignalSpy applied(m_store.get(), &FlightStore::answerApplied);
        m_store->fetchNow();
        QVERIFY(applied.wait(3000));
        QCOMPARE(m_server->requestCount(u"/v0/callsign/"_s), 1);
        QCOMPARE(m_server->requestCount(u"/pub/photos/hex/"_s), 1);
    }

    void globeLink()
    {
        start({ fullRecord });
        select(u"a1b2c3"_s);
        QLabel *link = label(u"globeLink"_s);
        QVERIFY(!link->isHidden());
        QCOMPARE(link->text(), u"Track on globe.example.org"_s);
        click(link);
        // Upper case for people, as the feed wrote it for the viewer.
        QCOMPARE(m_opened, QList<QUrl> { QUrl(u"https://globe.example.org/?icao=a1b2c3"_s) });

        // A screen reader meets a link, and its press opens the page as a click does.
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(link);
        QCOMPARE(accessible->role(), QAccessible::Link);
        QCOMPARE(accessible->text(QAccessible::Name), u"Track on globe.example.org"_s);
        QVERIFY(accessible->actionInterface());
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(m_opened.size(), 2);
        QCOMPARE(m_opened.last(), m_opened.first());
    }

    void emergencyBadge()
    {
        start({ doc("{'hex':'e1','squawk':'7700','lat':45.6,'lon':-122.5}"), minimalRecord });
        select(u"e1"_s);
        QVERIFY(!label(u"emergency"_s)->isHidden());
        QCOMPARE(label(u"emergency"_s)->text(), u"EMERGENCY"_s);
        m_store->setSelectedHex(u"abc123"_s);
        QVERIFY(label(u"emergency"_s)->isHidden());
    }

    void outsideTextIsPlain()
    {
        start({ doc(
            "{'hex':'x1','flight':'<b>X</b>','ownOp':'<i>a</i> & b','lat':45.6,'lon':-122.5}") });
        select(u"x1"_s);
        QCOMPARE(label(u"name"_s)->textFormat(), Qt::PlainText);
        QCOMPARE(label(u"name"_s)->text(), u"<b>X</b>"_s);
        const auto values = m_card->findChildren<QLabel *>(u"factValue"_s);
        for (QLabel *v : values)
            QCOMPARE(v->textFormat(), Qt::PlainText);
        QVERIFY(value(u"Operator"_s).startsWith(u"<i>"_s));
    }

    void textScale_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("nameSize");
        QTest::addColumn<double>("rowSize");
        QTest::newRow("80%") << 0.8 << 265 << 12.0 << 9.6;
        QTest::newRow("100%") << 1.0 << 265 << 15.0 << 12.0;
        QTest::newRow("140%") << 1.4 << 371 << 21.0 << 16.8;
    }

    void textScale()
    {
        QFETCH(double, scale);
        QFETCH(int, width);
        QFETCH(double, nameSize);
        QFETCH(double, rowSize);
        start({ fullRecord });
        select(u"a1b2c3"_s);
        m_preferences->setTextScale(scale);
        QCOMPARE(m_card->cardRect().width(), width);
        QCOMPARE(label(u"name"_s)->font().pixelSize(), qRound(nameSize));
        QVERIFY(label(u"name"_s)->font().bold());
        QCOMPARE(m_card->findChild<QLabel *>(u"factValue"_s)->font().pixelSize(), qRound(rowSize));
        QCOMPARE(label(u"globeLink"_s)->font().pixelSize(), qRound(10.0 * scale));
        // The card is as tall as its content, no taller.
        QVERIFY(m_card->cardRect().height() <= m_card->layout()->sizeHint().height());
    }

    void longValuesAreCut()
    {
        start({ doc("{'hex':'l1','ownOp':'the exceptionally long named regional aviation holding "
                    "company of somewhere','lat':45.6,'lon':-122.5}") });
        select(u"l1"_s);
        const QString shown = value(u"Operator"_s);
        QVERIFY2(shown.endsWith(u"…"_s), qPrintable(shown));
        QCOMPARE(m_card->cardRect().width(), 265);
    }

    void photoPlaceholderThenImage()
    {
        TestServer::Reply image;
        image.body = redPng();
        image.contentType = "image/png";
        image.delayMs = 400;
        m_server->setReply(u"/img/large.png"_s, image);
        m_server->setReply(u"/pub/photos/hex/a1b2c3"_s,
            json("{\"photos\":[{\"thumbnail_large\":{\"src\":\""
                + m_server->url(u"/img/large.png"_s).toEncoded()
                + "\"},\"link\":\"https://www.example/photo/1\","
                  "\"photographer\":\"Jane <Doe>\"}]}"));
        start({ fullRecord });
        select(u"a1b2c3"_s);

        QLabel *photo = label(u"photo"_s);
        QTRY_VERIFY(photo->isVisible());
        QVERIFY(!m_card->hasPhotoImage());
        QCOMPARE(photo->height(), 96);
        QVERIFY(photoCentre() != QColor(Qt::red));
        QVERIFY(photoCentre().alpha() > 0);

        QTRY_VERIFY(m_card->hasPhotoImage());
        QCOMPARE(photoCentre(), QColor(Qt::red));
        // The corners are cut round.
        QCOMPARE(photo->pixmap().toImage().pixelColor(0, 0).alpha(), 0);
        const auto imageRequests = m_server->requests();
        const auto found = std::find_if(imageRequests.begin(), imageRequests.end(),
            [](const auto &r) { return r.path == "/img/large.png"_L1; });
        QVERIFY(found != imageRequests.end());
        QVERIFY(found->headers.value("user-agent").contains("planes@example.org"));

        QLabel *credit = label(u"credit"_s);
        QVERIFY(credit->isVisible());
        QCOMPARE(credit->text(), u"Photo: Jane <Doe>"_s);
        QCOMPARE(credit->textFormat(), Qt::PlainText);
        click(credit);
        QCOMPARE(m_opened, QList<QUrl> { QUrl(u"https://www.example/photo/1"_s) });
    }

    void brokenImageKeepsPlaceholder()
    {
        m_server->setReply(u"/img/large.png"_s, json("not an image"));
        m_server->setReply(u"/pub/photos/hex/a1b2c3"_s,
            json("{\"photos\":[{\"thumbnail_large\":{\"src\":\""
                + m_server->url(u"/img/large.png"_s).toEncoded() + "\"}}]}"));
        start({ fullRecord });
        select(u"a1b2c3"_s);
        QTRY_VERIFY(label(u"photo"_s)->isVisible());
        QTRY_COMPARE(m_server->requestCount(u"/img/"_s), 1);
        QTest::qWait(100);
        QVERIFY(!m_card->hasPhotoImage());
        QVERIFY(photoCentre().alpha() > 0);
        // No photographer: no credit line.
        QVERIFY(!label(u"credit"_s)->isVisible());
    }

    void creditWithoutPageIsPlain()
    {
        m_server->setReply(u"/pub/photos/hex/a1b2c3"_s,
            json(doc("{'photos':[{'thumbnail_large':{'src':'http://127.0.0.1:1/x.jpg'}, "
                     "'photographer':'Jane Doe','link':'file:///etc/passwd'}]}")));
        start({ fullRecord });
        select(u"a1b2c3"_s);
        QLabel *credit = label(u"credit"_s);
        QTRY_VERIFY(credit->isVisible());
        QCOMPARE(credit->text(), u"Photo: Jane Doe"_s);
        click(credit);
        QVERIFY(m_opened.isEmpty());
    }

    void closeButtonClearsTheSelection()
    {
        start({ fullRecord });
        select(u"a1b2c3"_s);
        auto *close = m_card->findChild<QToolButton *>(u"close"_s);
        QVERIFY(close);
        click(close);
        QCOMPARE(m_store->selectedHex(), QString());
        QVERIFY(!m_card->isVisible());
    }

    void reparentedCardFollowsTheSelection()
    {
        start({ fullRecord });
        select(u"a1b2c3"_s);
        QWidget other;
        other.show();
        // Moving a widget hides it; the card shows itself again while its aircraft is selected.
        m_card->setParent(&other);
        QTRY_VERIFY(m_card->isVisible());
        m_card->setParent(m_host.get());
    }

    void followsThePalette_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void followsThePalette()
    {
        QFETCH(bool, dark);
        m_server->setReply(u"/v0/callsign/UAL123"_s, json(routeBody));
        TestServer::Reply image;
        image.body = skyPng();
        image.contentType = "image/png";
        m_server->setReply(u"/img/sky.png"_s, image);
        m_server->setReply(u"/pub/photos/hex/a1b2c3"_s,
            json("{\"photos\":[{\"thumbnail_large\":{\"src\":\""
                + m_server->url(u"/img/sky.png"_s).toEncoded()
                + "\"},\"link\":\"https://www.example/photo/1\","
                  "\"photographer\":\"Jane Doe\"}]}"));
        start({ fullRecord,
            doc("{'hex':'e1','flight':'N911EM','squawk':'7700','t':'EC35','r':'N911EM', "
                "'alt_baro':1200,'gs':110,'lat':45.6,'lon':-122.5,'dst':1.1,'dir':90}") });
        const QPalette palette = dark ? Appearance::darkPalette() : Appearance::lightPalette();
        m_card->setPalette(palette);
        select(u"a1b2c3"_s);
        QTRY_COMPARE(rows().value(0).first, u"Route"_s);
        QTRY_VERIFY(m_card->hasPhotoImage());

        const QImage shot = m_card->grab().toImage();
        const QRect card = m_card->cardRect();
        const int background = shot.pixelColor(card.left() + 4, card.center().y()).lightness();
        const int label = m_card->findChild<QLabel *>(u"factLabel"_s)
                              ->palette()
                              .color(QPalette::WindowText)
                              .lightness();
        if (dark) {
            QVERIFY2(background < 80, qPrintable(QString::number(background)));
            QVERIFY(label > 150);
        } else {
            QVERIFY2(background > 200, qPrintable(QString::number(background)));
            QVERIFY(label < 100);
        }
        // The shadow darkens what lies just below the card.
        QVERIFY(shot.pixelColor(card.center().x(), card.bottom() + 3).alpha() > 0);

        if (const QString dir = qEnvironmentVariable("SKYVELLE_RENDER_DIR"); !dir.isEmpty()) {
            shot.save(QDir(dir).filePath(dark ? u"card-dark.png"_s : u"card-light.png"_s));
            m_store->setSelectedHex(u"e1"_s);
            m_card->grab().save(QDir(dir).filePath(
                dark ? u"card-emergency-dark.png"_s : u"card-emergency-light.png"_s));
        }
    }
};

QTEST_MAIN(TestDetailCard)
#include "tst_detailcard.moc"
