// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftcolors.h"
#include "aircraftdecoder.h"
#include "altitudecolors.h"
#include "flightstore.h"
#include "hexcolor.h"
#include "preferences.h"
#include "systemcolors.h"
#include "testserver.h"
#include "views/aircraftlistmodel.h"
#include "views/aircraftlistview.h"
#include "views/aircraftrow.h"
#include "views/busyindicator.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const HomeLocation portland { 45.5, -122.6, u"Portland"_s };
const QString primaryPath = u"/v2/point/45.50000/-122.60000/25"_s;
const QString primaryPrefix = u"/v2/point/"_s;
const QString secondaryPrefix = u"/api/v2/"_s;

Aircraft decode(const QByteArray &json)
{
    AircraftDecoder decoder;
    QString error;
    const auto aircraft = decoder.decodeAircraft(json, &error);
    if (!aircraft)
        qFatal("bad sample %s: %s", json.constData(), qPrintable(error));
    return *aircraft;
}

Aircraft plane(const QString &hex, double distance = 1.0)
{
    Aircraft a;
    a.hex = hex;
    a.distanceNM = distance;
    return a;
}

// "abc" → aircraft a, b, c.
QList<Aircraft> planes(const QString &hexes)
{
    QList<Aircraft> result;
    for (const QChar c : hexes)
        result << plane(QString(c), result.size());
    return result;
}

QString hexesOf(const QAbstractItemModel &model)
{
    QString result;
    for (int row = 0; row < model.rowCount(); ++row)
        result += model.index(row, 0).data(AircraftListModel::HexRole).toString();
    return result;
}

TestServer::Reply answer(const QList<QByteArray> &records)
{
    TestServer::Reply reply;
    reply.body = "{\"ac\":[" + records.join(',') + "]}";
    return reply;
}

QByteArray record(const char *hex, double distance, const QByteArray &extra = {})
{
    return "{\"hex\":\"" + QByteArray(hex) + "\",\"lat\":45.6,\"lon\":-122.5,\"dst\":"
        + QByteArray::number(distance) + (extra.isEmpty() ? "" : "," + extra) + '}';
}

TestServer::Reply httpStatus(int code)
{
    TestServer::Reply reply;
    reply.status = code;
    return reply;
}

// Centre of mass of the pixels painted close to @p color inside @p area, relative to its
// centre; the count of such pixels goes to @p count.
QPointF centroidOf(const QImage &image, const QRect &area, const QColor &color, int *count)
{
    double x = 0, y = 0;
    int n = 0;
    for (int j = area.top(); j <= area.bottom(); ++j) {
        for (int i = area.left(); i <= area.right(); ++i) {
            const QColor c = image.pixelColor(i, j);
            if (qAbs(c.red() - color.red()) < 40 && qAbs(c.green() - color.green()) < 40
                && qAbs(c.blue() - color.blue()) < 40) {
                x += i + 0.5;
                y += j + 0.5;
                ++n;
            }
        }
    }
    *count = n;
    if (n == 0)
        return {};
    return QPointF(x / n, y / n) - QRectF(area).center();
}

bool near(const QColor &a, const QColor &b, int tolerance = 6)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

class TestAircraftList : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<Preferences> m_preferences;
    QNetworkAccessManager m_network;

    std::unique_ptr<FlightStore> makeStore()
    {
        QVariantMap overrides;
        overrides.insert(u"feedPrimary"_s, m_server->baseUrl().toString());
        overrides.insert(u"feedSecondary"_s, m_server->baseUrl().toString());
        overrides.insert(u"feedPrimaryName"_s, u"Primary"_s);
        overrides.insert(u"feedSecondaryName"_s, u"Secondary"_s);
        return std::make_unique<FlightStore>(m_preferences.get(), &m_network,
            Services::withOverrides(overrides), m_dir->filePath(u"data"_s));
    }

    static void pollOnce(FlightStore &store)
    {
        QSignalSpy applied(&store, &FlightStore::answerApplied);
        QSignalSpy failed(&store, &FlightStore::lastErrorChanged);
        store.fetchNow();
        QTRY_VERIFY(applied.size() + failed.size() > 0 && !store.isPolling());
    }

    template<typename T>
    static T *child(QWidget &parent, const QString &name)
    {
        T *found = parent.findChild<T *>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<TestServer>();
        m_preferences = std::make_unique<Preferences>(m_dir->filePath(u"Skyvelle.conf"_s));
        m_server->setPrefixReply(secondaryPrefix, answer({}));
    }

    void cleanup()
    {
        m_preferences.reset();
        m_server.reset();
        m_dir.reset();
    }

    // ---- Row texts and colours

    void secondaryLine_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("line");
        QTest::newRow("type name and registration")
            << R"({"hex":"a1","flight":"ASA512 ","t":"B739","r":"N512AS"})"_ba
            << u"Boeing 737-900 · N512AS"_s;
        QTest::newRow("registration is the name")
            << R"({"hex":"a1","t":"B739","r":"N512AS"})"_ba << u"Boeing 737-900"_s;
        QTest::newRow("registration is the name, blank callsign")
            << R"({"hex":"a1","flight":"   ","r":"N512AS"})"_ba << u"A1"_s;
        QTest::newRow("unknown code stands in for the name")
            << R"({"hex":"a1","flight":"X1","t":"ZZZ9","r":"D-EABC"})"_ba << u"ZZZ9 · D-EABC"_s;
        QTest::newRow("description when the code is unknown")
            << R"({"hex":"a1","t":"ZZZ9","desc":"PIPER PA-28"})"_ba << u"Piper Pa-28"_s;
        QTest::newRow("nothing known: upper-case hex")
            << R"({"hex":"abc123","flight":"SKW1 "})"_ba << u"ABC123"_s;
        QTest::newRow("empty registration is skipped")
            << R"({"hex":"abc123","flight":"SKW1","r":""})"_ba << u"ABC123"_s;
    }

    void secondaryLine()
    {
        QFETCH(QByteArray, json);
        QTEST(AircraftRowPainter::secondaryLine(decode(json)), "line");
    }

    void accessibilityText_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("full")
            << R"({"hex":"a1","flight":"ASA512","t":"B739","alt_baro":12500,"dst":10})"_ba
            << u"mi"_s << u"ASA512, B739, 12,500 ft, 11.5 mi"_s;
        QTest::newRow("kilometres, no type")
            << R"({"hex":"a1","r":"N1","alt_baro":"ground","dst":2})"_ba << u"km"_s
            << u"N1, On ground, 3.7 km"_s;
        QTest::newRow("no distance, no altitude")
            << R"({"hex":"a1b2"})"_ba << u"nm"_s << u"A1B2, —"_s;
        QTest::newRow("emergency and military")
            << R"({"hex":"ae01","flight":"RCH1","squawk":"7700","dbFlags":1,"alt_baro":300})"_ba
            << u"mi"_s << u"RCH1, 300 ft, emergency, military"_s;
    }

    void accessibilityText()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, unit);
        QTEST(AircraftRowPainter::accessibilityText(
                  decode(json), unit, QLocale(QLocale::English, QLocale::UnitedStates)),
            "text");
    }

    void iconColor_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("byAltitude");
        QTest::addColumn<QString>("planeColor");
        QTest::addColumn<QColor>("expected");
        const QColor accent(1, 2, 3);
        const auto band = [](int i) { return AltitudeColors::bands().at(i).color; };
        const QByteArray both = R"({"hex":"a1","squawk":"7700","dbFlags":1,"alt_baro":500})"_ba;
        QTest::newRow("emergency beats military")
            << both << true << u"#FFFFFF"_s << SystemColors::emergencyRed();
        QTest::newRow("military beats altitude")
            << R"({"hex":"a1","dbFlags":3,"alt_baro":500})"_ba << true << u"#FFFFFF"_s
            << SystemColors::militaryGreen();
        QTest::newRow("plane colour") << R"({"hex":"a1","alt_baro":500})"_ba << false
                                      << u"#64D2FF"_s << QColor(0x64, 0xD2, 0xFF);
        QTest::newRow("unparsable colour: accent")
            << R"({"hex":"a1"})"_ba << false << u"orange"_s << accent;
        QTest::newRow("below 2,000")
            << R"({"hex":"a1","alt_baro":1999})"_ba << true << u""_s << band(0);
        QTest::newRow("negative") << R"({"hex":"a1","alt_baro":-50})"_ba << true << u""_s
                                  << band(0);
        QTest::newRow("2,000 is yellow")
            << R"({"hex":"a1","alt_baro":2000})"_ba << true << u""_s << band(1);
        QTest::newRow("10,000") << R"({"hex":"a1","alt_baro":10000})"_ba << true << u""_s
                                << band(2);
        QTest::newRow("20,000") << R"({"hex":"a1","alt_baro":20000})"_ba << true << u""_s
                                << band(3);
        QTest::newRow("30,000") << R"({"hex":"a1","alt_baro":30000})"_ba << true << u""_s
                                << band(4);
        QTest::newRow("ground uses alt_geom")
            << R"({"hex":"a1","alt_baro":"ground","alt_geom":12000})"_ba << true << u""_s
            << band(2);
        QTest::newRow("no altitude: grey")
            << R"({"hex":"a1"})"_ba << true << u"#FF0000"_s << QColor(142, 142, 147);
    }

    void iconColor()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, byAltitude);
        QFETCH(QString, planeColor);
        QFETCH(QColor, expected);
        // The row stands the accent in for a colour that does not parse.
        const QColor plane = HexColor::color(planeColor).value_or(QColor(1, 2, 3));
        QCOMPARE(AircraftColors::fill(decode(json), byAltitude, plane), expected);
    }

    void glyphFollowsLuminance_data()
    {
        QTest::addColumn<QColor>("icon");
        QTest::addColumn<QColor>("glyph");
        QTest::addColumn<QColor>("ring");
        const QColor black85 = QColor::fromRgbF(0, 0, 0, 0.85f);
        const QColor black40 = QColor::fromRgbF(0, 0, 0, 0.4f);
        const QColor white = Qt::white;
        const QColor white35 = QColor::fromRgbF(1, 1, 1, 0.35f);
        QTest::newRow("white") << QColor(Qt::white) << black85 << black40;
        QTest::newRow("yellow #FFD60A") << QColor(0xFF, 0xD6, 0x0A) << black85 << black40;
        // 0.617: just below the threshold, so the default orange carries a white plane.
        QTest::newRow("orange #FF8A00") << QColor(0xFF, 0x8A, 0x00) << white << white35;
        QTest::newRow("blue") << QColor(0x0A, 0x84, 0xFF) << white << white35;
    }

    void glyphFollowsLuminance()
    {
        QFETCH(QColor, icon);
        QTEST(AircraftColors::glyph(icon), "glyph");
        QTEST(AircraftRowPainter::ringColor(icon), "ring");
    }

    void textScaleSizesTheRow()
    {
        AircraftRow row(m_preferences.get());
        const QFont base = QApplication::font();
        QCOMPARE(row.rowPainter().namePointSize(), 13.0);
        QCOMPARE(row.rowPainter().badgePointSize(), 9.0);
        const int normal = row.rowPainter().rowHeight(base);
        m_preferences->setTextScale(1.2);
        QCOMPARE(row.rowPainter().namePointSize(), 15.6);
        QCOMPARE(row.rowPainter().badgePointSize(), 10.8);
        QVERIFY(row.rowPainter().rowHeight(base) > normal);
        m_preferences->setTextScale(0.0); // hand-edited nonsense stays legible
        QVERIFY(row.rowPainter().namePointSize() > 5.0);
    }

    // ---- What the row paints

    void paintedIcon_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QColor>("disc");
        QTest::addColumn<QColor>("glyph");
        // Unrotated the plane points east, so its wings and tail weigh on the west half.
        QTest::addColumn<QPointF>("weight");
        const QColor orange(0xFF, 0x8A, 0x00);
        QTest::newRow("no track: east")
            << R"({"hex":"a1"})"_ba << orange << QColor(Qt::white) << QPointF(-1, 0);
        QTest::newRow("track 90: east")
            << R"({"hex":"a1","track":90})"_ba << orange << QColor(Qt::white) << QPointF(-1, 0);
        QTest::newRow("track 0: north")
            << R"({"hex":"a1","track":0})"_ba << orange << QColor(Qt::white) << QPointF(0, 1);
        QTest::newRow("track 180: south")
            << R"({"hex":"a1","track":180})"_ba << orange << QColor(Qt::white) << QPointF(0, -1);
        QTest::newRow("military, west")
            << R"({"hex":"a1","dbFlags":1,"track":270})"_ba << SystemColors::militaryGreen()
            << QColor(Qt::white) << QPointF(1, 0);
    }

    void paintedIcon()
    {
        QFETCH(QByteArray, json);
        QFETCH(QColor, disc);
        QFETCH(QColor, glyph);
        QFETCH(QPointF, weight);

        // Painted four times larger, so that one logical pixel is sixteen samples.
        constexpr int scale = 4;
        AircraftRow row(m_preferences.get());
        const QRect rect(0, 0, 300, row.rowPainter().rowHeight(QApplication::font()));
        QImage image(rect.size() * scale, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(scale, scale);
        row.rowPainter().paint(
            &painter, rect, decode(json), QApplication::palette(), false, QApplication::font());
        painter.end();

        // The 20-point disc sits in a 24-point slot 8 points in, centred on the row.
        const QPointF centre(8 + 12, rect.height() / 2.0);
        const QPoint ringInside = ((centre + QPointF(-8.5, 0)) * scale).toPoint();
        QVERIFY2(near(image.pixelColor(ringInside), disc),
            qPrintable(image.pixelColor(ringInside).name()));
        const QRect discArea(((centre - QPointF(7, 7)) * scale).toPoint(), QSize(14, 14) * scale);
        int count = 0;
        const QPointF mass = centroidOf(image, discArea, glyph, &count);
        QVERIFY2(count > 200, qPrintable(QString::number(count)));
        // The centre of mass lies clearly on the expected side and near the other axis.
        const QPointF along(mass.x() * weight.x(), mass.y() * weight.y());
        QVERIFY2(along.x() + along.y() > 0.5 * scale,
            qPrintable(u"%1,%2"_s.arg(mass.x()).arg(mass.y())));
        const double across = weight.x() != 0 ? mass.y() : mass.x();
        QVERIFY2(qAbs(across) < 0.5 * scale, qPrintable(QString::number(across)));
    }

    void paintedBadge_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("red");
        QTest::newRow("emergency") << R"({"hex":"a1","flight":"X1","squawk":"7700"})"_ba << true;
        QTest::newRow("military") << R"({"hex":"a1","flight":"X1","dbFlags":1})"_ba << false;
    }

    void paintedBadge()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, red);
        const Aircraft aircraft = decode(json);
        const auto badge = AircraftRowPainter::badge(aircraft, QApplication::palette());
        QVERIFY(badge);
        QCOMPARE(badge->text, red ? u"EMERG"_s : u"MIL"_s);

        AircraftRow row(m_preferences.get());
        QImage image(300, row.rowPainter().rowHeight(QApplication::font()), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        row.rowPainter().paint(
            &painter, image.rect(), aircraft, QApplication::palette(), false, QApplication::font());
        painter.end();
        // Right of the icon, the only strongly coloured pixels are the badge's text.
        int strong = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 40; x < 200; ++x) {
                const QColor c = image.pixelColor(x, y);
                const bool isRed = c.red() > 150 && c.green() < 90 && c.blue() < 90;
                const bool isGreen = c.green() > 120 && c.red() < 90 && c.blue() < 120;
                if (red ? isRed : isGreen)
                    ++strong;
            }
        }
        QVERIFY2(strong > 10, qPrintable(QString::number(strong)));
    }

    // ---- The model

    void modelEditsInPlace_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("moves");
        QTest::newRow("same") << u"abcd"_s << u"abcd"_s << 0;
        QTest::newRow("first to last") << u"abcd"_s << u"bcda"_s << 1;
        QTest::newRow("last to first") << u"abcd"_s << u"dabc"_s << 1;
        QTest::newRow("swap") << u"abcd"_s << u"acbd"_s << 1;
        QTest::newRow("reverse") << u"abcde"_s << u"edcba"_s << 4;
        QTest::newRow("arrivals and departures") << u"abcd"_s << u"xbyd"_s << 0;
        QTest::newRow("all new") << u"abc"_s << u"xyz"_s << 0;
        QTest::newRow("from empty") << u""_s << u"abc"_s << 0;
        QTest::newRow("to empty") << u"abc"_s << u""_s << 0;
        QTest::newRow("mixed") << u"abcdefg"_s << u"gxbaeyc"_s << -1;
    }

    void modelEditsInPlace()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, moves);
        AircraftListModel model(m_preferences.get());
        QAbstractItemModelTester tester(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setAircraft(planes(before));
        QCOMPARE(hexesOf(model), before);

        QList<QPersistentModelIndex> kept;
        for (int row = 0; row < model.rowCount(); ++row)
            kept << QPersistentModelIndex(model.index(row));
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        model.setAircraft(planes(after));

        QCOMPARE(hexesOf(model), after);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(layouts.size(), 0);
        if (moves >= 0)
            QCOMPARE(moved.size(), moves);
        // Each index taken before the poll still points at its aircraft, or died with it.
        for (int i = 0; i < kept.size(); ++i) {
            const QString hex = before.at(i);
            if (after.contains(hex))
                QCOMPARE(kept[i].data(AircraftListModel::HexRole).toString(), hex);
            else
                QVERIFY(!kept[i].isValid());
        }
    }

    void modelRefreshesChangedRows()
    {
        AircraftListModel model(m_preferences.get());
        model.setAircraft(planes(u"abc"_s));
        QList<Aircraft> next = planes(u"abc"_s);
        next[1].altGeom = 9000;
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setAircraft(next);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex().row(), 1);
        QCOMPARE(changed.first().at(1).toModelIndex().row(), 1);
        QCOMPARE(
            model.index(1).data(AircraftListModel::AircraftRole).value<Aircraft>().altGeom, 9000);
        model.setAircraft(next);
        QCOMPARE(changed.size(), 1);
    }

    void modelSurvivesRandomPolls()
    {
        AircraftListModel model(m_preferences.get());
        QAbstractItemModelTester tester(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QRandomGenerator random(20261208);
        const QString pool = u"abcdefghijklmnopqrstuvwxyz0123456789"_s;
        for (int poll = 0; poll < 300; ++poll) {
            QString hexes;
            for (const QChar c : pool) {
                if (random.bounded(3) != 0)
                    hexes += c;
            }
            std::shuffle(hexes.begin(), hexes.end(), random);
            QList<Aircraft> next = planes(hexes);
            // A feed listing one address twice still shows both rows.
            if (poll % 50 == 0 && !next.isEmpty())
                next << next.first();
            model.setAircraft(next);
            QString expected = hexes;
            if (poll % 50 == 0 && !hexes.isEmpty())
                expected += hexes.front();
            QCOMPARE(hexesOf(model), expected);
        }
    }

    void accessibilityRoleFollowsDistanceUnit()
    {
        AircraftListModel model(m_preferences.get());
        model.setAircraft({ decode(R"({"hex":"a1","flight":"N1","dst":10})"_ba) });
        QCOMPARE(model.index(0).data(Qt::AccessibleTextRole).toString(), u"N1, —, 11.5 mi"_s);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        m_preferences->setDistanceUnit(Preferences::DistanceUnit::NauticalMiles);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.index(0).data(AircraftListModel::AccessibilityTextRole).toString(),
            u"N1, —, 10.0 nm"_s);
    }

    // ---- The sidebar

    void overlays_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("overlay");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("orange");
        using O = AircraftListView::Overlay;
        QTest::newRow("no data") << u"error"_s << int(O::noData) << u"No Data"_s << u"<error>"_s
                                 << u"<error>"_s << true;
        QTest::newRow("paused") << u"paused"_s << int(O::paused) << u"Paused"_s
                                << u"Resume updates to check for aircraft."_s << u"Paused"_s
                                << true;
        QTest::newRow("checking") << u"hang"_s << int(O::checking) << u""_s
                                  << u"Checking for aircraft…"_s << u"Connecting…"_s << false;
        QTest::newRow("quiet skies")
            << u"empty"_s << int(O::quietSkies) << u"Quiet Skies"_s
            << u"No aircraft within 25 nm right now."_s << u"Live via Primary"_s << false;
        QTest::newRow("aircraft") << u"aircraft"_s << int(O::none) << u""_s << u""_s
                                  << u"Live via Primary"_s << false;
        QTest::newRow("error keeps the list")
            << u"aircraftThenError"_s << int(O::none) << u""_s << u""_s << u"<error>"_s << true;
        QTest::newRow("paused keeps the list")
            << u"aircraftThenPause"_s << int(O::none) << u""_s << u""_s << u"Paused"_s << true;
    }

    void overlays()
    {
        QFETCH(QString, scenario);
        QFETCH(int, overlay);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, status);
        QFETCH(bool, orange);

        const auto aircraft = answer({ record("a1", 2), record("b2", 3) });
        if (scenario == "error"_L1) {
            m_server->setPrefixReply(primaryPrefix, httpStatus(500));
            m_server->setPrefixReply(secondaryPrefix, httpStatus(503));
        } else if (scenario == "hang"_L1) {
            TestServer::Reply hang;
            hang.hang = true;
            m_server->setPrefixReply(primaryPrefix, hang);
        } else if (scenario == "empty"_L1) {
            m_server->setPrefixReply(primaryPrefix, answer({}));
        } else if (scenario == "aircraftThenError"_L1) {
            m_server->setQueuedReplies(primaryPath, { aircraft, httpStatus(500) });
            m_server->setPrefixReply(secondaryPrefix, httpStatus(500));
        } else {
            m_server->setPrefixReply(primaryPrefix, aircraft);
        }

        auto store = makeStore();
        if (scenario == "paused"_L1)
            store->setPaused(true);
        store->setHome(portland);
        if (scenario != "paused"_L1 && scenario != "hang"_L1)
            QTRY_VERIFY(!store->isPolling());
        if (scenario == "aircraftThenError"_L1)
            pollOnce(*store);
        if (scenario == "aircraftThenPause"_L1)
            store->setPaused(true);
        if (scenario == "hang"_L1)
            QVERIFY(store->isPolling());

        AircraftListView view(store.get(), m_preferences.get());
        view.resize(310, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        const QString error = store->lastError();
        if (text == "<error>"_L1)
            text = error;
        if (status == "<error>"_L1) {
            QVERIFY(!error.isEmpty());
            status = error;
        }
        QCOMPARE(int(view.overlay()), overlay);
        auto *list = child<QListView>(view, u"aircraftList"_s);
        QCOMPARE(list->isVisible(), overlay == int(AircraftListView::Overlay::none));
        if (overlay == int(AircraftListView::Overlay::none)) {
            QCOMPARE(list->model()->rowCount(), 2);
        } else {
            auto *titleLabel = child<QLabel>(view, u"overlayTitle"_s);
            QCOMPARE(titleLabel->isVisible(), !title.isEmpty());
            QCOMPARE(titleLabel->text(), title);
            QCOMPARE(titleLabel->textFormat(), Qt::PlainText);
            QCOMPARE(child<QLabel>(view, u"overlayText"_s)->text(), text);
            QCOMPARE(child<QLabel>(view, u"overlayIcon"_s)->isVisible(), !title.isEmpty());
            auto *spinner = child<BusyIndicator>(view, u"overlaySpinner"_s);
            QCOMPARE(spinner->isVisible(), scenario == "hang"_L1);
            QCOMPARE(spinner->isSpinning(), scenario == "hang"_L1);
            QVERIFY(!child<QPushButton>(view, u"overlayButton"_s)->isVisible());
        }

        auto *statusText = child<QLabel>(view, u"statusText"_s);
        QCOMPARE(statusText->text(), status);
        QCOMPARE(statusText->textFormat(), Qt::PlainText);
        const bool errorShown = !error.isEmpty() && !store->isPaused();
        QCOMPARE(
            statusText->palette().color(QPalette::WindowText) == SystemColors::red(view.palette()),
            errorShown);
        const QImage dot = child<QLabel>(view, u"statusDot"_s)->grab().toImage();
        const QColor centre = dot.pixelColor(dot.width() / 2, dot.height() / 2);
        const QColor expected =
            orange ? SystemColors::orange(view.palette()) : SystemColors::green(view.palette());
        QVERIFY2(near(centre, expected, 12), qPrintable(centre.name()));
    }

    void filterMenuAndCount()
    {
        m_server->setPrefixReply(primaryPrefix,
            answer({ record("a1", 1, R"("dbFlags":1)"_ba), record("b2", 2, R"("category":"A7")"_ba),
                record("c3", 3, R"("flight":"UAL12")"_ba) }));
        auto store = makeStore();
        store->setHome(portland);
        QTRY_COMPARE(store->aircraft().size(), 3);
        AircraftListView view(store.get(), m_preferences.get());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        auto *button = child<QToolButton>(view, u"filterButton"_s);
        auto *menu = child<QMenu>(view, u"filterMenu"_s);
        auto *count = child<QLabel>(view, u"filterCount"_s);
        QCOMPARE(button->text(), u"All Aircraft"_s);
        QVERIFY(!count->isVisible());

        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(menu->isVisible());
        QStringList titles;
        for (QAction *action : menu->actions())
            titles << (action->isSeparator() ? u"-"_s : action->text());
        QCOMPARE(titles,
            (QStringList { u"All Aircraft"_s, u"-"_s, u"Emergency"_s, u"Military"_s,
                u"Helicopters"_s, u"Airliners"_s, u"General Aviation"_s,
                u"Low Altitude (<2,000 ft)"_s }));
        auto *all = menu->findChild<QAction *>(u"filterAll"_s);
        QVERIFY(!all->icon().isNull()); // the check mark: nothing is filtered
        auto *military = menu->findChild<QAction *>(u"filter-military"_s);
        QVERIFY(military->isCheckable() && !military->isChecked());
        military->trigger();
        menu->hide();

        QCOMPARE(store->activeFilters(), QSet<AircraftFilter> { AircraftFilter::military });
        QCOMPARE(button->text(), u"Military"_s);
        QVERIFY(count->isVisible());
        QCOMPARE(count->text(), u"1 of 3"_s);
        QCOMPARE(view.listView()->model()->rowCount(), 1);

        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(menu->isVisible());
        menu->findChild<QAction *>(u"filter-helicopters"_s)->trigger();
        QCOMPARE(button->text(), u"2 Filters"_s);
        QCOMPARE(count->text(), u"2 of 3"_s);
        QVERIFY(menu->findChild<QAction *>(u"filterAll"_s)->icon().isNull());
        QVERIFY(menu->findChild<QAction *>(u"filter-military"_s)->isChecked());
        menu->findChild<QAction *>(u"filter-military"_s)->trigger();
        QCOMPARE(store->activeFilters(), QSet<AircraftFilter> { AircraftFilter::helicopters });
        menu->findChild<QAction *>(u"filterAll"_s)->trigger();
        menu->hide();
        QVERIFY(store->activeFilters().isEmpty());
        QVERIFY(!count->isVisible());
        QCOMPARE(view.listView()->model()->rowCount(), 3);
    }

    void filterMenuMarksActiveFilters()
    {
        auto store = makeStore();
        store->setActiveFilters({ AircraftFilter::military, AircraftFilter::helicopters });
        AircraftListView view(store.get(), m_preferences.get());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto *menu = child<QMenu>(view, u"filterMenu"_s);
        QTest::mouseClick(child<QToolButton>(view, u"filterButton"_s), Qt::LeftButton);
        QTRY_VERIFY(menu->isVisible());

        QStringList checked;
        for (QAction *action : menu->actions()) {
            if (action->isChecked())
                checked << action->objectName();
        }
        QCOMPARE(checked, (QStringList { u"filter-military"_s, u"filter-helicopters"_s }));
        // The keyboard starts on the first filter in force.
        QCOMPARE(menu->activeAction()->objectName(), u"filter-military"_s);

        // A drawn check mark at the end of each active row and of no other; the trailing end
        // holds nothing else, so any text-coloured pixel there is the mark.
        const QImage image = menu->grab().toImage();
        const qreal dpr = image.devicePixelRatio();
        const int markWidth = menu->fontMetrics().height() + 12;
        for (QAction *action : menu->actions()) {
            if (action->isSeparator() || action == menu->activeAction())
                continue;
            const QRect row = menu->actionGeometry(action);
            int inked = 0;
            for (int y = row.top(); y <= row.bottom(); ++y) {
                for (int x = row.right() - markWidth; x <= row.right(); ++x) {
                    if (image.pixelColor(QPoint(x, y) * dpr).lightness() < 100)
                        ++inked;
                }
            }
            QVERIFY2((inked > 0) == action->isChecked(), qPrintable(action->objectName()));
        }
        menu->hide();
    }

    void noMatchesAndShowAll_data()
    {
        QTest::addColumn<bool>("withSearch");
        QTest::addColumn<QString>("text");
        QTest::newRow("filters only")
            << false << u"Nothing in range matches the selected filters."_s;
        QTest::newRow("filters and search")
            << true << u"Nothing matches the current filters and search."_s;
    }

    void noMatchesAndShowAll()
    {
        QFETCH(bool, withSearch);
        m_server->setPrefixReply(primaryPrefix, answer({ record("a1", 1), record("b2", 2) }));
        auto store = makeStore();
        store->setHome(portland);
        QTRY_COMPARE(store->aircraft().size(), 2);
        AircraftListView view(store.get(), m_preferences.get());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        store->setActiveFilters({ AircraftFilter::emergency });
        auto *search = child<QLineEdit>(view, u"searchField"_s);
        QCOMPARE(search->placeholderText(), u"Callsign, type, reg"_s);
        QVERIFY(search->isClearButtonEnabled());
        if (withSearch)
            QTest::keyClicks(search, u"zz"_s);
        QCOMPARE(store->searchText(), withSearch ? u"zz"_s : QString());
        QCOMPARE(view.overlay(), AircraftListView::Overlay::noMatches);
        QCOMPARE(child<QLabel>(view, u"overlayTitle"_s)->text(), u"No Matches"_s);
        QFETCH(QString, text);
        QCOMPARE(child<QLabel>(view, u"overlayText"_s)->text(), text);

        auto *showAll = child<QPushButton>(view, u"overlayButton"_s);
        QVERIFY(showAll->isVisible());
        QCOMPARE(showAll->text(), u"Show All Aircraft"_s);
        QTest::mouseClick(showAll, Qt::LeftButton);
        QVERIFY(store->activeFilters().isEmpty());
        QVERIFY(store->searchText().isEmpty());
        QVERIFY(search->text().isEmpty());
        QCOMPARE(view.overlay(), AircraftListView::Overlay::none);
        QVERIFY(view.listView()->isVisible());
    }

    void selectionSurvivesReorderingPoll()
    {
        // Forty aircraft; in the second answer the nearest five have turned round and the
        // farthest has gone.
        QList<QByteArray> first;
        QList<QByteArray> second;
        for (int i = 0; i < 40; ++i)
            first << record(qPrintable(u"h%1"_s.arg(i, 2, 10, QChar(u'0'))), i + 1);
        for (int i = 0; i < 39; ++i) {
            const double distance = i < 5 ? 5 - i : i + 1;
            second << record(qPrintable(u"h%1"_s.arg(i, 2, 10, QChar(u'0'))), distance);
        }
        m_server->setQueuedReplies(primaryPath, { answer(first), answer(second) });
        auto store = makeStore();
        store->setHome(portland);
        QTRY_COMPARE(store->aircraft().size(), 40);

        AircraftListView view(store.get(), m_preferences.get());
        view.resize(310, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QListView *list = view.listView();

        // The user scrolls a little and clicks the nearest aircraft.
        list->verticalScrollBar()->setValue(30);
        const QRect rect = list->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        const QString picked =
            list->model()->index(1, 0).data(AircraftListModel::HexRole).toString();
        QCOMPARE(picked, u"h01"_s);
        QCOMPARE(store->selectedHex(), picked);

        QSignalSpy resets(list->model(), &QAbstractItemModel::modelReset);
        QSignalSpy moved(list->model(), &QAbstractItemModel::rowsMoved);
        pollOnce(*store);
        QCOMPARE(store->aircraft().size(), 39);
        QCOMPARE(resets.size(), 0);
        QVERIFY(moved.size() > 0);
        const QModelIndexList selected = list->selectionModel()->selectedIndexes();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().row(), 3);
        QCOMPARE(selected.first().data(AircraftListModel::HexRole).toString(), picked);
        QCOMPARE(list->currentIndex(), selected.first());
        QCOMPARE(store->selectedHex(), picked);
        QCOMPARE(list->verticalScrollBar()->value(), 30);
    }

    void selectionFollowsTheStore()
    {
        m_server->setPrefixReply(
            primaryPrefix, answer({ record("a1", 1), record("b2", 2), record("c3", 3) }));
        auto store = makeStore();
        store->setHome(portland);
        QTRY_COMPARE(store->aircraft().size(), 3);
        AircraftListView view(store.get(), m_preferences.get());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QListView *list = view.listView();

        // Chosen on the map (or by a notification): the list follows.
        store->setSelectedHex(u"c3"_s);
        QCOMPARE(list->selectionModel()->selectedIndexes().value(0).row(), 2);

        // A search that hides the selected aircraft leaves the store's selection alone...
        store->setSearchText(u"a1"_s);
        QVERIFY(!list->selectionModel()->hasSelection());
        QCOMPARE(store->selectedHex(), u"c3"_s);
        // ...and the row is selected again when it comes back.
        store->setSearchText({});
        QCOMPARE(list->selectionModel()->selectedIndexes().value(0).row(), 2);

        // Keyboard: the arrow keys move the selection and write it to the store.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(store->selectedHex(), u"b2"_s);
        store->setSelectedHex({});
        QVERIFY(!list->selectionModel()->hasSelection());
    }

    void rowsAreAccessibleByTheirText()
    {
        m_server->setPrefixReply(primaryPrefix,
            answer({ record("a1", 10, R"("flight":"ASA12","t":"B739","alt_baro":12500)"_ba) }));
        auto store = makeStore();
        store->setHome(portland);
        QTRY_COMPARE(store->aircraft().size(), 1);
        AircraftListView view(store.get(), m_preferences.get());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        const QString expected =
            AircraftRowPainter::accessibilityText(store->aircraft().first(), u"mi"_s);
        QVERIFY(expected.startsWith(u"ASA12, B739, "_s));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view.listView());
        QVERIFY(list);
        QStringList names;
        for (int i = 0; i < list->childCount(); ++i)
            names << list->child(i)->text(QAccessible::Name);
        QVERIFY2(names.contains(expected), qPrintable(names.join(u" | "_s)));

        // The buttons inside the search field are named, the clear one once there is text.
        auto *search = child<QLineEdit>(view, u"searchField"_s);
        search->setText(u"ASA"_s);
        QAccessibleInterface *field = QAccessible::queryAccessibleInterface(search);
        QVERIFY(field);
        QStringList buttons;
        for (int i = 0; i < field->childCount(); ++i) {
            if (field->child(i)->role() == QAccessible::Button)
                buttons << field->child(i)->text(QAccessible::Name);
        }
        buttons.sort();
        QCOMPARE(buttons, QStringList({ u"Clear"_s, u"Search"_s }));
    }

    void registrationStaysVisibleInLargeText()
    {
        // A long type name and three registrations that differ at the first or last letter:
        // every row must look different, so none may lose the registration to the ellipsis.
        const QByteArray type = R"j("flight":"SKW5","desc":"EMBRAER ERJ-170-200 (long wing)",)j"
                                R"("alt_baro":35000)"_ba;
        m_server->setPrefixReply(primaryPrefix,
            answer({ record("a1", 10, type + R"(,"r":"N512AS")"),
                record("a2", 10, type + R"(,"r":"N512AT")"),
                record("a3", 10, type + R"(,"r":"X512AS")") }));
        auto store = makeStore();
        store->setHome(portland);
        QTRY_COMPARE(store->aircraft().size(), 3);
        m_preferences->setTextScale(1.4);
        AircraftListView view(store.get(), m_preferences.get());
        view.resize(view.minimumWidth(), 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.width(), 270);

        QListView *list = view.listView();
        const QImage shot = list->viewport()->grab().toImage();
        QList<QImage> rows;
        for (int i = 0; i < 3; ++i) {
            const QRect row = list->visualRect(list->model()->index(i, 0));
            rows << shot.copy(QRect(
                row.topLeft() * shot.devicePixelRatio(), row.size() * shot.devicePixelRatio()));
        }
        QVERIFY(rows[0] != rows[1]);
        QVERIFY(rows[0] != rows[2]);
        QVERIFY(rows[1] != rows[2]);
    }

    void listDrawsTheIconColour()
    {
        m_server->setPrefixReply(
            primaryPrefix, answer({ record("a1", 1, R"("alt_baro":25000)"_ba) }));
        auto store = makeStore();
        store->setHome(portland);
        QTRY_COMPARE(store->aircraft().size(), 1);
        AircraftListView view(store.get(), m_preferences.get());
        view.resize(310, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QListView *list = view.listView();

        const QRect row = list->visualRect(list->model()->index(0, 0));
        const QPoint disc(row.left() + 8 + 12 - 8, row.center().y());
        const auto colourAt = [&] { return list->viewport()->grab().toImage().pixelColor(disc); };
        QVERIFY2(near(colourAt(), QColor(0xFF, 0x8A, 0x00)), qPrintable(colourAt().name()));

        m_preferences->setPlaneColorHex(u"#0A84FF"_s);
        QVERIFY2(near(colourAt(), QColor(0x0A, 0x84, 0xFF)), qPrintable(colourAt().name()));

        m_preferences->setColorByAltitude(true);
        const QColor cyan = AltitudeColors::bands().at(3).color;
        QVERIFY2(near(colourAt(), cyan), qPrintable(colourAt().name()));

        // A larger text size makes every row taller at once.
        const int height = row.height();
        m_preferences->setTextScale(1.3);
        QTRY_VERIFY(list->visualRect(list->model()->index(0, 0)).height() > height);
    }
};

QTEST_MAIN(TestAircraftList)
#include "tst_aircraftlist.moc"
