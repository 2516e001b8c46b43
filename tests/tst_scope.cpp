// SPDX-License-Identifier: GPL-3.0-or-later
#include "radargeometry.h"
#include "radarview.h"
#include "radarwidgetview.h"
#include "scopepalette.h"
#include "setupprompt.h"
#include "skyentry.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textrecorder.h"
#include "widgetrender.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

Aircraft plane(const QString &hex, std::optional<double> distance, std::optional<double> bearing)
{
    Aircraft aircraft;
    aircraft.hex = hex;
    aircraft.flight = hex.toUpper() + u"  "_s;
    aircraft.distanceNM = distance;
    aircraft.directionDeg = bearing;
    aircraft.altBaro = Altitude::feet(24000);
    return aircraft;
}

SkyEntry liveEntry(QList<Aircraft> aircraft)
{
    SkyEntry entry;
    entry.date = QDateTime(QDate(2026, 5, 1), QTime(10, 42));
    entry.aircraft = std::move(aircraft);
    entry.home = HomeLocation { 45.5, -122.6, u"Home"_s };
    return entry;
}

SkyEntry fixedSample()
{
    return sampleEntry(u"#73FF99"_s, QDateTime(QDate(2026, 5, 1), QTime(10, 42)));
}

QList<Aircraft> planes(int count)
{
    QList<Aircraft> result;
    for (int i = 0; i < count; ++i)
        result.append(plane(u"b%1"_s.arg(i, 5, 10, QChar(u'0')), 20.0, i * 6.0));
    return result;
}

// The scope drawn at scale 2 into a square of side points; colours are read at points.
QImage paintScope(const SkyEntry &entry, qreal side)
{
    QImage image(int(side * 2), int(side * 2), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(entry.palette().background);
    QPainter painter(&image);
    RadarView(entry).paint(&painter, QRectF(0, 0, side, side));
    return image;
}

QColor colorAt(const QImage &image, const QPointF &point)
{
    return image.pixelColor((point * image.devicePixelRatio()).toPoint());
}

bool sameColor(const QColor &seen, const QColor &expected, int tolerance = 24)
{
    return std::abs(seen.red() - expected.red()) <= tolerance
        && std::abs(seen.green() - expected.green()) <= tolerance
        && std::abs(seen.blue() - expected.blue()) <= tolerance;
}

QPointF blipPoint(const SkyEntry &entry, const Aircraft &aircraft, const QRectF &scope)
{
    const auto polar = RadarGeometry { entry.radiusNM, entry.home }.polar(aircraft);
    return polar ? RadarGeometry::project(*polar, scope) : QPointF(-1, -1);
}

std::unique_ptr<TextRecorder> recordWidget(
    WidgetLayout layout, const SkyEntry &entry, LinkRegions *links = nullptr)
{
    auto recorder = std::make_unique<TextRecorder>(WidgetRender::size(layout));
    QPainter painter(recorder.get());
    const LinkRegions painted = WidgetRender::paint(&painter, layout, entry);
    if (links)
        *links = painted;
    return recorder;
}

QString symbolText(const QString &name)
{
    return QString(QChar(char16_t(Symbols::codePoint(name))));
}

} // namespace

Q_DECLARE_METATYPE(std::optional<HomeLocation>)
Q_DECLARE_METATYPE(std::optional<PolarPosition>)
Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(WidgetLayout)

class TestScope : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void polarPosition_data();
    void polarPosition();
    void projection_data();
    void projection();
    void palette_data();
    void palette();
    void blipColors_data();
    void blipColors();
    void sampleEntryAndLinks();
    void deepLinks_data();
    void deepLinks();

    void scopeDrawsBlipsWhereTheGeometrySays();
    void scopeDrawsAtMostFortyBlips();
    void smallRadarLabels_data();
    void smallRadarLabels();
    void setupPromptWithoutHome_data();
    void setupPromptWithoutHome();
    void mediumRadarListsThreeLinkedRows();
    void boardListsFiveLinkedRows();
    void nearestAircraft_data();
    void nearestAircraft();
    void widgetFrames_data();
    void widgetFrames();
};

void TestScope::polarPosition_data()
{
    QTest::addColumn<Aircraft>("aircraft");
    QTest::addColumn<double>("radiusNM");
    QTest::addColumn<std::optional<HomeLocation>>("home");
    QTest::addColumn<std::optional<PolarPosition>>("expected");

    const std::optional<HomeLocation> noHome;
    const HomeLocation home { 45.0, -122.0, u"Home"_s };
    Aircraft north = plane(u"n"_s, std::nullopt, std::nullopt);
    north.lat = 46.0;
    north.lon = -122.0;
    Aircraft west = plane(u"w"_s, std::nullopt, std::nullopt);
    west.lat = 0.0;
    west.lon = -1.0;
    Aircraft bearingOnly = north;
    bearingOnly.distanceNM = 5.0;

    QTest::newRow("feed values") << plane(u"a"_s, 12.5, 90.0) << 25.0 << noHome
                                 << std::optional(PolarPosition { 0.5, 90 });
    QTest::newRow("beyond the radius sits on the edge")
        << plane(u"a"_s, 40.0, 10.0) << 25.0 << noHome << std::optional(PolarPosition { 1, 10 });
    QTest::newRow("computed north, one degree of latitude")
        << north << 100.0 << std::optional(home) << std::optional(PolarPosition { 0.6, 0 });
    QTest::newRow("computed due west is 270, not -90")
        << west << 100.0 << std::optional(HomeLocation { 0, 0, u"Equator"_s })
        << std::optional(PolarPosition { 0.6, 270 });
    QTest::newRow("a feed distance is kept, the bearing computed")
        << bearingOnly << 10.0 << std::optional(home) << std::optional(PolarPosition { 0.5, 0 });
    QTest::newRow("no distance and no home")
        << plane(u"a"_s, std::nullopt, 90.0) << 25.0 << noHome << std::optional<PolarPosition>();
    QTest::newRow("radius 0") << plane(u"a"_s, 12.5, 90.0) << 0.0 << std::optional(home)
                              << std::optional<PolarPosition>();
    // Values off any scale place nothing, or somewhere on the scope; never at NaN or infinity.
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("radius 1e308") << plane(u"a"_s, 12.5, 90.0) << 1e308 << noHome
                                  << std::optional(PolarPosition { 0, 90 });
    QTest::newRow("radius 1e-320")
        << plane(u"a"_s, 12.5, 90.0) << 1e-320 << noHome << std::optional(PolarPosition { 1, 90 });
    QTest::newRow("radius inf") << plane(u"a"_s, 12.5, 90.0) << inf << noHome
                                << std::optional<PolarPosition>();
    QTest::newRow("radius nan") << plane(u"a"_s, 12.5, 90.0) << double(NAN) << noHome
                                << std::optional<PolarPosition>();
    QTest::newRow("distance 1e308")
        << plane(u"a"_s, 1e308, 90.0) << 25.0 << noHome << std::optional(PolarPosition { 1, 90 });
    QTest::newRow("distance -0, bearing -0")
        << plane(u"a"_s, -0.0, -0.0) << 25.0 << noHome << std::optional(PolarPosition { 0, 0 });
    QTest::newRow("distance -1") << plane(u"a"_s, -1.0, 90.0) << 25.0 << noHome
                                 << std::optional<PolarPosition>();
    QTest::newRow("distance inf") << plane(u"a"_s, inf, 90.0) << 25.0 << noHome
                                  << std::optional<PolarPosition>();
    QTest::newRow("bearing 1e308") << plane(u"a"_s, 12.5, 1e308) << 25.0 << noHome
                                   << std::optional(PolarPosition { 0.5, std::fmod(1e308, 360.0) });
    QTest::newRow("bearing -90") << plane(u"a"_s, 12.5, -90.0) << 25.0 << noHome
                                 << std::optional(PolarPosition { 0.5, 270 });
    QTest::newRow("bearing nan") << plane(u"a"_s, 12.5, double(NAN)) << 25.0 << noHome
                                 << std::optional<PolarPosition>();
}

void TestScope::polarPosition()
{
    QFETCH(Aircraft, aircraft);
    QFETCH(double, radiusNM);
    QFETCH(std::optional<HomeLocation>, home);
    QFETCH(std::optional<PolarPosition>, expected);

    const auto polar = RadarGeometry { radiusNM, home }.polar(aircraft);
    QCOMPARE(polar.has_value(), expected.has_value());
    if (!polar)
        return;
    // 60.0 nm per degree on the scope's sphere, to a hundredth.
    QVERIFY2(std::abs(polar->fraction - expected->fraction) < 1e-4,
        qPrintable(QString::number(polar->fraction)));
    QVERIFY2(std::abs(polar->bearingDeg - expected->bearingDeg) < 1e-6,
        qPrintable(QString::number(polar->bearingDeg)));
}

void TestScope::projection_data()
{
    QTest::addColumn<PolarPosition>("polar");
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<QPointF>("expected");

    // A wide area: the scope is the centred circle of the shorter side, R = 50.
    const QRectF area(10, 20, 200, 100);
    QTest::newRow("half way east")
        << PolarPosition { 0.5, 90 } << area << QPointF(110 + 0.47 * 50, 70);
    QTest::newRow("edge north, inside the ring")
        << PolarPosition { 1, 0 } << area << QPointF(110, 70 - 0.94 * 50);
    QTest::newRow("edge south-west") << PolarPosition { 1,
        225 } << area << QPointF(110 - 0.94 * 50 * M_SQRT1_2, 70 + 0.94 * 50 * M_SQRT1_2);
    QTest::newRow("home") << PolarPosition { 0, 123 } << area << QPointF(110, 70);
}

void TestScope::projection()
{
    QFETCH(PolarPosition, polar);
    QFETCH(QRectF, area);
    QFETCH(QPointF, expected);

    const QPointF point = RadarGeometry::project(polar, area);
    QVERIFY2((point - expected).manhattanLength() < 1e-9,
        qPrintable(u"%1, %2"_s.arg(point.x()).arg(point.y())));
}

void TestScope::palette_data()
{
    QTest::addColumn<std::optional<QString>>("accent");
    QTest::addColumn<QColor>("phosphor");
    QTest::addColumn<QColor>("background");

    const QColor green = QColor::fromRgbF(0.45f, 1.0f, 0.6f);
    const QColor darkGreen = QColor::fromRgbF(0.0405f, 0.09f, 0.054f);
    QTest::newRow("absent") << std::optional<QString>() << green << darkGreen;
    QTest::newRow("empty") << std::optional(QString()) << green << darkGreen;
    QTest::newRow("five digits") << std::optional(u"#12345"_s) << green << darkGreen;
    QTest::newRow("white") << std::optional(u"#FFFFFF"_s) << QColor(Qt::white)
                           << QColor::fromRgbF(0.09f, 0.09f, 0.09f);
    QTest::newRow("default accent, exactly")
        << std::optional(u"  #73ff99"_s) << QColor(0x73, 0xFF, 0x99)
        << QColor::fromRgbF(0.09f * 0x73 / 255, 0.09f, 0.09f * 0x99 / 255);
}

void TestScope::palette()
{
    QFETCH(std::optional<QString>, accent);
    QFETCH(QColor, phosphor);
    QFETCH(QColor, background);

    const ScopePalette palette = ScopePalette::fromAccent(accent);
    QCOMPARE(palette.phosphor.rgba64(), phosphor.rgba64());
    QCOMPARE(palette.background.rgba64(), background.rgba64());
    QCOMPARE(palette.dim().rgb(), phosphor.rgb());
    QCOMPARE(qRound(palette.dim().alphaF() * 100), 55);
    QCOMPARE(qRound(palette.faint().alphaF() * 100), 22);
}

void TestScope::blipColors_data()
{
    QTest::addColumn<Aircraft>("aircraft");
    QTest::addColumn<QColor>("expected");

    const QColor red = SystemColors::emergencyRed();
    const QColor gold = QColor::fromRgbF(1.0f, 0.85f, 0.3f);
    Aircraft plain = plane(u"a"_s, 1.0, 1.0);
    Aircraft military = plain;
    military.dbFlags = 3;
    Aircraft squawking = plain;
    squawking.squawk = u"7700"_s;
    Aircraft both = military;
    both.squawk = u"7700"_s;
    Aircraft declared = plain;
    declared.emergency = u"general"_s;
    Aircraft none = plain;
    none.emergency = u"none"_s;
    Aircraft otherFlags = plain;
    otherFlags.dbFlags = 2;

    QTest::newRow("plain") << plain << QColor(Qt::white);
    QTest::newRow("military") << military << gold;
    QTest::newRow("squawk 7700") << squawking << red;
    QTest::newRow("military and 7700") << both << red;
    QTest::newRow("declared emergency") << declared << red;
    QTest::newRow("emergency none") << none << QColor(Qt::white);
    QTest::newRow("other database flags") << otherFlags << QColor(Qt::white);
}

void TestScope::blipColors()
{
    QFETCH(Aircraft, aircraft);
    QFETCH(QColor, expected);
    QCOMPARE(blipColor(aircraft, ScopePalette::fromAccent(u"#FFFFFF"_s)), expected);
}

void TestScope::sampleEntryAndLinks()
{
    const SkyEntry entry = sampleEntry();
    QVERIFY(entry.isSample);
    QCOMPARE(entry.radiusNM, 25.0);
    QCOMPARE(entry.unit, u"mi"_s);
    QVERIFY(!entry.accentHex);
    QCOMPARE(entry.palette(), ScopePalette::standard());
    QCOMPARE(entry.home, (HomeLocation { 45.5, -122.6, u"Home"_s }));
    QCOMPARE(entry.aircraft.size(), 5);

    for (int i = 0; i < 4; ++i)
        QVERIFY(!entry.aircraft.at(i).isMilitary());
    QVERIFY(entry.aircraft.at(4).isMilitary());
    QCOMPARE(entry.aircraft.at(4).registration, QString());

    QCOMPARE(sampleEntry(u"#FFFFFF"_s).accentHex, u"#FFFFFF"_s);
}

void TestScope::deepLinks_data()
{
    QTest::addColumn<SkyEntry>("entry");
    QTest::addColumn<QUrl>("nearest");
    QTest::addColumn<QUrl>("firstRow");

    const QUrl open(u"skyvelle://open"_s);
    QTest::newRow("live") << liveEntry({ plane(u"abc123"_s, 1, 1) })
                          << QUrl(u"skyvelle://aircraft/abc123"_s)
                          << QUrl(u"skyvelle://aircraft/abc123"_s);
    QTest::newRow("sample") << sampleEntry() << open << QUrl(u"skyvelle://aircraft/a1b2c3"_s);
    QTest::newRow("empty sky") << liveEntry({}) << open << QUrl();
    QTest::newRow("a hex that is no URL")
        << liveEntry({ plane(u"ab c>"_s, 1, 1) }) << QUrl() << open;
}

void TestScope::deepLinks()
{
    QFETCH(SkyEntry, entry);
    QFETCH(QUrl, nearest);
    QFETCH(QUrl, firstRow);

    QCOMPARE(deepLink(entry), nearest);
    QCOMPARE(WidgetRender::tapLink(WidgetLayout::NearestSmall, entry), nearest);
    QCOMPARE(WidgetRender::tapLink(WidgetLayout::SkyBoardLarge, entry), QUrl(u"skyvelle://open"_s));
    if (!entry.aircraft.isEmpty())
        QCOMPARE(aircraftLink(entry.aircraft.first()), firstRow);
}

void TestScope::scopeDrawsBlipsWhereTheGeometrySays()
{
    SkyEntry entry = fixedSample();
    Aircraft emergency = plane(u"e1"_s, 22.0, 290.0);
    emergency.squawk = u"7700"_s;
    entry.aircraft.append(emergency);
    // Without dst and dir the blip is placed from home: due south, half way.
    Aircraft positioned = plane(u"p1"_s, std::nullopt, std::nullopt);
    positioned.lat = 45.5 - 12.5 / 60.0;
    positioned.lon = -122.6;
    entry.aircraft.append(positioned);
    entry.aircraft.append(plane(u"x1"_s, std::nullopt, std::nullopt)); // no place: no blip

    const qreal side = 300;
    const QImage image = paintScope(entry, side);
    const QRectF scope(0, 0, side, side);
    const ScopePalette palette = entry.palette();

    QVERIFY(sameColor(colorAt(image, scope.center()), palette.phosphor)); // home dot
    for (const Aircraft &aircraft : std::as_const(entry.aircraft)) {
        if (aircraft.hex == u"x1"_s)
            continue;
        const QPointF at = blipPoint(entry, aircraft, scope);
        QVERIFY2(sameColor(colorAt(image, at), blipColor(aircraft, palette)),
            qPrintable(aircraft.hex + u" at "_s + QString::number(at.x()) + u","_s
                + QString::number(at.y())));
    }
    QVERIFY(sameColor(colorAt(image, blipPoint(entry, entry.aircraft.at(4), scope)),
        QColor::fromRgbF(1.0f, 0.85f, 0.3f)));
    QVERIFY(sameColor(colorAt(image, QPointF(150, 150 + 0.47 * 150)), palette.phosphor));
    // Off the blips: plain background, and a faint cross-hair east of home.
    QVERIFY(sameColor(colorAt(image, QPointF(60, 40)), palette.background, 2));
    const QColor crossHair = colorAt(image, QPointF(150 + 0.2 * 150, 150));
    QVERIFY(
        !sameColor(crossHair, palette.background, 4) && !sameColor(crossHair, palette.phosphor));
}

void TestScope::scopeDrawsAtMostFortyBlips()
{
    const SkyEntry entry = liveEntry(planes(60));
    const qreal side = 600;
    const QImage image = paintScope(entry, side);
    const QColor phosphor = entry.palette().phosphor;

    int drawn = 0;
    for (int i = 0; i < 60; ++i) {
        const QPointF at = blipPoint(entry, entry.aircraft.at(i), QRectF(0, 0, side, side));
        const bool lit = sameColor(colorAt(image, at), phosphor);
        QVERIFY2(lit == (i < 40), qPrintable(u"blip %1"_s.arg(i)));
        drawn += lit;
    }
    QCOMPARE(drawn, 40);

    const auto small = recordWidget(WidgetLayout::RadarSmall, entry);
    QVERIFY(small->find(u"60"_s));
    QVERIFY(recordWidget(WidgetLayout::RadarMedium, entry)->find(u"60 AIRCRAFT"_s));
}

void TestScope::smallRadarLabels_data()
{
    QTest::addColumn<SkyEntry>("entry");
    QTest::addColumn<QString>("radius");
    QTest::addColumn<QString>("count");
    QTest::addColumn<bool>("quiet");

    SkyEntry wide = liveEntry({ plane(u"a"_s, 1, 1) });
    wide.radiusNM = 37.9;
    QTest::newRow("sample") << fixedSample() << u"25 nm"_s << u"5"_s << false;
    QTest::newRow("fraction dropped") << wide << u"37 nm"_s << u"1"_s << false;
    QTest::newRow("empty sky") << liveEntry({}) << u"25 nm"_s << u"0"_s << true;
    // No integer conversion of a radius beyond any integer: a short figure instead.
    SkyEntry huge = liveEntry({});
    huge.radiusNM = 1e308;
    QTest::newRow("radius 1e308") << huge << u"1e+308 nm"_s << u"0"_s << true;
    SkyEntry tiny = liveEntry({});
    tiny.radiusNM = 1e-320;
    QTest::newRow("radius 1e-320") << tiny << u"0 nm"_s << u"0"_s << true;
}

void TestScope::smallRadarLabels()
{
    QFETCH(SkyEntry, entry);
    QFETCH(QString, radius);
    QFETCH(QString, count);
    QFETCH(bool, quiet);

    const auto recorder = recordWidget(WidgetLayout::RadarSmall, entry);
    const QRectF content = QRectF(QPointF(0, 0), WidgetRender::size(WidgetLayout::RadarSmall))
                               .adjusted(14, 14, -14, -14);
    const auto radiusLabel = recorder->find(radius);
    const auto countLabel = recorder->find(count);
    const auto timeLabel = recorder->find(QLocale().toString(QTime(10, 42), QLocale::ShortFormat));
    QVERIFY(radiusLabel && countLabel && timeLabel);
    QVERIFY(content.contains(radiusLabel->baseline));
    QVERIFY(radiusLabel->baseline.y() < content.center().y());
    QVERIFY(countLabel->baseline.y() > content.center().y());
    QVERIFY(timeLabel->baseline.x() > content.center().x());
    QCOMPARE(countLabel->color, entry.palette().phosphor);

    const auto quietLabel = recorder->find(u"QUIET SKY"_s);
    QCOMPARE(bool(quietLabel), quiet);
    if (quietLabel)
        QVERIFY(quietLabel->baseline.y() < content.center().y());
}

void TestScope::setupPromptWithoutHome_data()
{
    QTest::addColumn<WidgetLayout>("layout");
    QTest::addColumn<QString>("hiddenText");

    QTest::newRow("nearest") << WidgetLayout::NearestSmall << u"Quiet skies"_s;
    QTest::newRow("radar small") << WidgetLayout::RadarSmall << u"25 nm"_s;
    QTest::newRow("radar medium") << WidgetLayout::RadarMedium << u"1 AIRCRAFT"_s;
    QTest::newRow("board") << WidgetLayout::SkyBoardLarge << u"SKYVELLE"_s;
}

void TestScope::setupPromptWithoutHome()
{
    QFETCH(WidgetLayout, layout);
    QFETCH(QString, hiddenText);

    SkyEntry entry =
        liveEntry(layout == WidgetLayout::NearestSmall ? QList<Aircraft>()
                                                       : QList<Aircraft> { plane(u"a1"_s, 1, 1) });
    entry.home.reset();
    LinkRegions links;
    const auto prompt = recordWidget(layout, entry, &links);
    QVERIFY(links.isEmpty());
    QVERIFY(prompt->find(symbolText(u"house"_s)));
    QVERIFY2(prompt->texts().join(u' ').contains(u"Open Skyvelle to set your home"_s),
        qPrintable(prompt->texts().join(u'|')));
    QVERIFY(!prompt->find(hiddenText));

    // A sample never asks for set-up, with or without a home.
    entry.isSample = true;
    const auto sample = recordWidget(layout, entry);
    QVERIFY(!sample->find(symbolText(u"house"_s)));
    QVERIFY(sample->find(hiddenText));
}

void TestScope::mediumRadarListsThreeLinkedRows()
{
    const SkyEntry entry = liveEntry(planes(7));
    LinkRegions links;
    const auto recorder = recordWidget(WidgetLayout::RadarMedium, entry, &links);

    QVERIFY(recorder->find(u"7 AIRCRAFT"_s));
    QVERIFY(recorder->find(u"as of "_s + QLocale().toString(QTime(10, 42), QLocale::ShortFormat)));
    QCOMPARE(links.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const Aircraft &aircraft = entry.aircraft.at(i);
        QCOMPARE(links.at(i).url, QUrl(u"skyvelle://aircraft/"_s + aircraft.hex));
        const auto name = recorder->find(aircraft.displayName());
        QVERIFY(name);
        QVERIFY(links.at(i).rect.contains(name->baseline - QPointF(0, 2)));
        // Right of the scope, which takes the full height on the leading side.
        QVERIFY(links.at(i).rect.left() >= 14 + 142);
    }
    QVERIFY(!recorder->find(entry.aircraft.at(3).displayName()));

    // The small layout has no rows to follow.
    LinkRegions smallLinks;
    recordWidget(WidgetLayout::RadarSmall, entry, &smallLinks);
    QVERIFY(smallLinks.isEmpty());
    // Without links the same rows are drawn but none reports a link.
    TextRecorder unlinked(WidgetRender::size(WidgetLayout::RadarMedium));
    QPainter painter(&unlinked);
    QVERIFY(RadarWidgetView(entry, WidgetFamily::Medium, false)
                .paint(&painter, QRectF(14, 14, 336, 142))
                .isEmpty());
    QVERIFY(unlinked.find(entry.aircraft.at(2).displayName()));
}

void TestScope::boardListsFiveLinkedRows()
{
    SkyEntry entry = fixedSample();
    entry.aircraft.append(plane(u"b00006"_s, 24, 12));
    LinkRegions links;
    const QImage image = WidgetRender::render(WidgetLayout::SkyBoardLarge, entry, 2, &links);
    const auto recorder = recordWidget(WidgetLayout::SkyBoardLarge, entry);

    QCOMPARE(links.size(), 5);
    const QRectF content = QRectF(QPointF(0, 0), WidgetRender::size(WidgetLayout::SkyBoardLarge))
                               .adjusted(14, 14, -14, -14);
    for (int i = 0; i < 5; ++i) {
        const Aircraft &aircraft = entry.aircraft.at(i);
        const LinkRegion &row = links.at(i);
        QCOMPARE(row.url, QUrl(u"skyvelle://aircraft/"_s + aircraft.hex));
        QVERIFY(content.contains(row.rect));
        const auto name = recorder->find(aircraft.displayName());
        QVERIFY(name && row.rect.contains(name->baseline - QPointF(0, 2)));
        // The glyph at the leading edge in the blip colour: gold for the military fifth.
        const QColor glyph = colorAt(image, QPointF(row.rect.left() + 5, row.rect.center().y()));
        QVERIFY2(
            sameColor(glyph, blipColor(aircraft, entry.palette()), 60), qPrintable(aircraft.hex));
    }
    QVERIFY(sameColor(
        colorAt(image, QPointF(links.at(4).rect.left() + 5, links.at(4).rect.center().y())),
        QColor::fromRgbF(1.0f, 0.85f, 0.3f), 60));
    QVERIFY(!recorder->find(entry.aircraft.at(5).displayName()));
    QVERIFY(recorder->find(u"SKYVELLE"_s));
    QVERIFY(
        recorder->find(u"25 NM · "_s + QLocale().toString(QTime(10, 42), QLocale::ShortFormat)));

    QVERIFY(recordWidget(WidgetLayout::SkyBoardLarge, liveEntry({}))->find(u"Quiet skies"_s));
}

void TestScope::nearestAircraft_data()
{
    QTest::addColumn<SkyEntry>("entry");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("absent");

    const QString time = QLocale().toString(QTime(10, 42), QLocale::ShortFormat);
    QTest::newRow("sample") << fixedSample()
                            << QStringList { u"NEAREST"_s, u"ASA512"_s, u"B739 · N512AS"_s,
                                   u"3.7 mi · 12,500 ft"_s, u"5 in range · "_s + time }
                            << QStringList { u"Quiet skies"_s };

    Aircraft anonymous = plane(u"c0ffee"_s, std::nullopt, std::nullopt);
    anonymous.flight.reset();
    anonymous.registration = QString();
    anonymous.typeCode = QString();
    SkyEntry unknown = liveEntry({ anonymous });
    unknown.unit = u"km"_s;
    QTest::newRow("no identity, no distance")
        << unknown << QStringList { u"C0FFEE"_s, u"1 in range · "_s + time }
        << QStringList { u"·"_s, u" · "_s };

    SkyEntry nautical = liveEntry({ plane(u"abc123"_s, 12.5, 90) });
    nautical.unit = u"nm"_s;
    QTest::newRow("nautical miles")
        << nautical << QStringList { u"ABC123"_s, u"12.5 nm · 24,000 ft"_s } << QStringList();
    QTest::newRow("empty sky") << liveEntry({})
                               << QStringList { symbolText(u"airplane.departure"_s),
                                      u"Quiet skies"_s, u"as of "_s + time }
                               << QStringList { u"NEAREST"_s };
}

void TestScope::nearestAircraft()
{
    QFETCH(SkyEntry, entry);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, absent);

    const auto recorder = recordWidget(WidgetLayout::NearestSmall, entry);
    qreal previous = -1;
    for (const QString &line : std::as_const(lines)) {
        const auto item = recorder->find(line);
        QVERIFY2(item, qPrintable(line + u" not in "_s + recorder->texts().join(u'|')));
        QVERIFY2(item->baseline.y() > previous, qPrintable(line)); // top to bottom
        previous = item->baseline.y();
    }
    for (const QString &text : std::as_const(absent))
        QVERIFY(!recorder->find(text));
}

void TestScope::widgetFrames_data()
{
    QTest::addColumn<WidgetLayout>("layout");
    QTest::addColumn<QSize>("pixels");

    QTest::newRow("nearest") << WidgetLayout::NearestSmall << QSize(340, 340);
    QTest::newRow("radar small") << WidgetLayout::RadarSmall << QSize(340, 340);
    QTest::newRow("radar medium") << WidgetLayout::RadarMedium << QSize(728, 340);
    QTest::newRow("board") << WidgetLayout::SkyBoardLarge << QSize(728, 764);
}

void TestScope::widgetFrames()
{
    QFETCH(WidgetLayout, layout);
    QFETCH(QSize, pixels);

    const SkyEntry entry = fixedSample();
    const QImage image = WidgetRender::render(layout, entry, 2);
    QCOMPARE(image.size(), pixels);
    QCOMPARE(image.devicePixelRatio(), 2.0);
    const QColor background = entry.palette().background;
    // Rounded corners: transparent in the corner, background just inside the curve.
    QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(image.pixelColor(pixels.width() - 1, pixels.height() - 1).alpha(), 0);
    QVERIFY(sameColor(colorAt(image, QPointF(8, 8)), background, 2));
    QVERIFY(sameColor(colorAt(image, QPointF(2, 40)), background, 2));
    QCOMPARE(colorAt(image, QPointF(2, 40)).alpha(), 255);
}

QTEST_MAIN(TestScope)
#include "tst_scope.moc"
