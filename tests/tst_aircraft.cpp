// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraft.h"
#include "aircraftdecoder.h"
#include "homelocation.h"

#include <QFile>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(SKYVELLE_FIXTURES "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("fixture %s missing", name);
    return file.readAll();
}

Aircraft decode(const QByteArray &json)
{
    AircraftDecoder decoder;
    QString error;
    const auto a = decoder.decodeAircraft(json, &error);
    if (!a)
        qFatal("record did not decode: %s", qPrintable(error));
    return *a;
}

} // namespace

class TestAircraft : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void realisticAnswer()
    {
        AircraftDecoder decoder;
        QString error;
        const auto response = decoder.decodeResponse(fixture("aggregator-point.json"), &error);
        QVERIFY2(response, qPrintable(error));
        QVERIFY(!response->aircraft);
        QCOMPARE(response->ac->size(), 12);

        const Aircraft &first = response->ac->at(0);
        QCOMPARE(first.hex, u"a65132"_s);
        QCOMPARE(first.flight, u"ASA8780 "_s);
        QCOMPARE(first.registration, u"N196QX"_s);
        QCOMPARE(first.typeCode, u"E75L"_s);
        QCOMPARE(first.operatorName, u""_s);
        QCOMPARE(first.altBaro, Altitude::ground());
        QVERIFY(!first.altGeom);
        QCOMPARE(first.groundSpeed, 47.171);
        QCOMPARE(first.baroRate, 1912 * -1);
        QCOMPARE(first.squawk, u"3264"_s);
        QCOMPARE(first.category, u"A3"_s);
        QCOMPARE(first.seenPos, 0.519);
        QCOMPARE(first.distanceNM, 91.137);
        QCOMPARE(first.directionDeg, 317.0);
        QVERIFY(!first.dbFlags);

        // The nested "lastPosition" object must not leak its lat/lon into the record.
        const Aircraft &second = response->ac->at(1);
        QCOMPARE(second.hex, u"a7731a"_s);
        QVERIFY(!second.lat);
        QVERIFY(!second.lon);
        QCOMPARE(second.altBaro, Altitude::feet(15350));

        QCOMPARE(response->ac->at(2).hex, u"~2d0017"_s);
        QCOMPARE(response->ac->at(3).dbFlags, 1);
    }

    // Types, operators and the like are shared between records and answers; the texts must
    // stay each record's own, also across the pruning of a long run and in answers still held.
    void sharedTextsAcrossAnswers()
    {
        AircraftDecoder decoder;
        QList<QList<Aircraft>> held;
        for (int answer = 0; answer < 40; ++answer) {
            QByteArray list;
            for (int i = 0; i < 100; ++i) {
                if (!list.isEmpty())
                    list += ',';
                // Two hundred new types per answer: far more than the cache keeps unpruned.
                list += "{\"hex\":\"h" + QByteArray::number(i) + "\",\"t\":\"T"
                    + QByteArray::number(answer * 100 + i / 2) + "\",\"ownOp\":\""
                    + (i % 3 == 0        ? ""
                            : i % 3 == 1 ? "Caf\\u00e9 Air"
                                         : "Café Air")
                    + "\",\"desc\":\"D" + QByteArray::number(i % 7) + "\"}";
            }
            QString error;
            const auto response = decoder.decodeResponse("{\"ac\":[" + list + "]}", &error);
            QVERIFY2(response, qPrintable(error));
            if (answer % 4 == 0)
                held.append(*response->ac);
        }
        for (qsizetype h = 0; h < held.size(); ++h) {
            const int answer = int(h * 4);
            for (int i = 0; i < 100; ++i) {
                const Aircraft &a = held[h][i];
                QCOMPARE(a.typeCode, u"T%1"_s.arg(answer * 100 + i / 2));
                QCOMPARE(a.operatorName, i % 3 == 0 ? QString() : u"Café Air"_s);
                QCOMPARE(a.typeDescription, u"D%1"_s.arg(i % 7));
            }
        }
    }

    void envelopes_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("acCount"); // -1: absent
        QTest::addColumn<int>("aircraftCount");
        QTest::newRow("empty object") << "{}"_ba << -1 << -1;
        QTest::newRow("empty ac") << R"({"ac": []})"_ba << 0 << -1;
        QTest::newRow("null ac") << R"({"ac": null, "aircraft": [{"hex":"a"}]})"_ba << -1 << 1;
        QTest::newRow("both") << R"({"ac": [{"hex":"a"}], "aircraft": []})"_ba << 1 << 0;
        QTest::newRow("other keys") << R"({"msg":"No error","now":1.7e12,"ac":[]})"_ba << 0 << -1;
    }

    void envelopes()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, acCount);
        QFETCH(int, aircraftCount);
        AircraftDecoder decoder;
        const auto response = decoder.decodeResponse(json);
        QVERIFY(response);
        QCOMPARE(response->ac ? int(response->ac->size()) : -1, acCount);
        QCOMPARE(response->aircraft ? int(response->aircraft->size()) : -1, aircraftCount);
    }

    void rejectedAnswers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("not json") << "<html>busy</html>"_ba << u"not valid JSON"_s;
        QTest::newRow("truncated") << R"({"ac":[{"hex":"abc")"_ba << u"JSON"_s;
        QTest::newRow("empty body") << ""_ba << u"empty"_s;
        QTest::newRow("array root") << "[]"_ba << u"object"_s;
        QTest::newRow("ac not a list") << R"({"ac":{}})"_ba << u"\"ac\""_s;
        QTest::newRow("record not an object") << R"({"ac":[1]})"_ba << u"aircraft 1"_s;
        QTest::newRow("no hex") << R"({"ac":[{"hex":"a"},{"flight":"X"}]})"_ba
                                << u"aircraft 2: \"hex\" is missing"_s;
        QTest::newRow("null hex") << R"({"ac":[{"hex":null}]})"_ba << u"hex"_s;
        QTest::newRow("numeric hex") << R"({"ac":[{"hex":123}]})"_ba << u"hex"_s;
        QTest::newRow("gs as text") << R"({"ac":[{"hex":"a","gs":"320"}]})"_ba << u"\"gs\""_s;
        QTest::newRow("fractional alt_geom")
            << R"({"ac":[{"hex":"a","alt_geom":1000.5}]})"_ba << u"alt_geom"_s;
        QTest::newRow("dbFlags too big")
            << R"({"ac":[{"hex":"a","dbFlags":18446744073709551615}]})"_ba << u"dbFlags"_s;
        QTest::newRow("squawk as number")
            << R"({"ac":[{"hex":"a","squawk":7700}]})"_ba << u"squawk"_s;
        QTest::newRow("flight as bool")
            << R"({"ac":[{"hex":"a","flight":true}]})"_ba << u"flight"_s;
        QTest::newRow("lat as array") << R"({"ac":[{"hex":"a","lat":[1]}]})"_ba << u"lat"_s;
        // Reported in key order: "flight" is checked before "gs".
        QTest::newRow("first bad key wins")
            << R"({"ac":[{"gs":"x","hex":"a","flight":1}]})"_ba << u"\"flight\""_s;
    }

    void rejectedAnswers()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, mentions);
        AircraftDecoder decoder;
        QString error;
        QVERIFY(!decoder.decodeResponse(json, &error));
        QVERIFY2(error.contains(mentions), qPrintable(error));
        QVERIFY(!error.contains(u'\n'));
    }

    void fieldTypes()
    {
        const Aircraft a = decode(R"({"hex":"a","alt_geom":1000.0,"baro_rate":-64,"gs":300,
            "lat":null,"dbFlags":3,"track":1e2,"nav_modes":["tcas"],"lastPosition":{"lat":1},
            "extra":{"deep":[{"x":[1,2,{"y":null}]}]}})"_ba);
        QCOMPARE(a.altGeom, 1000);
        QCOMPARE(a.baroRate, -64);
        QCOMPARE(a.groundSpeed, 300.0);
        QCOMPARE(a.track, 100.0);
        QVERIFY(!a.lat);
        QCOMPARE(a.dbFlags, 3);
    }

    void altBaro_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected"); // -1 ground, -2 absent
        QTest::newRow("feet") << "12000"_ba << 12000;
        QTest::newRow("whole double") << "12000.0"_ba << 12000;
        QTest::newRow("negative") << "-150"_ba << -150;
        QTest::newRow("ground") << "\"ground\""_ba << -1;
        QTest::newRow("other text") << "\"12000\""_ba << -1;
        QTest::newRow("fraction") << "1234.5"_ba << -1;
        QTest::newRow("bool") << "true"_ba << -1;
        QTest::newRow("object") << "{}"_ba << -1;
        QTest::newRow("null") << "null"_ba << -2;
    }

    void altBaro()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        const Aircraft a = decode("{\"hex\":\"a\",\"alt_baro\":" + value + "}");
        if (expected == -2)
            QVERIFY(!a.altBaro);
        else if (expected == -1)
            QCOMPARE(a.altBaro, Altitude::ground());
        else
            QCOMPARE(a.altBaro, Altitude::feet(expected));
    }

    void altitudeTexts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortText");
        QTest::addColumn<int>("feet"); // -1: none
        QTest::newRow("ground with geom") << R"({"hex":"a","alt_baro":"ground","alt_geom":50})"_ba
                                          << u"On ground"_s << u"GND"_s << 50;
        QTest::newRow("baro") << R"({"hex":"a","alt_baro":12500})"_ba << u"12,500 ft"_s
                              << u"12,500ft"_s << 12500;
        QTest::newRow("geom fallback")
            << R"({"hex":"a","alt_geom":900})"_ba << u"900 ft"_s << u"900ft"_s << 900;
        QTest::newRow("flight level")
            << R"({"hex":"a","alt_baro":24050})"_ba << u"24,050 ft"_s << u"FL240"_s << 24050;
        QTest::newRow("FL180") << R"({"hex":"a","alt_baro":18000})"_ba << u"18,000 ft"_s
                               << u"FL180"_s << 18000;
        QTest::newRow("none") << R"({"hex":"a"})"_ba << u"—"_s << u"—"_s << -1;
        // Altitudes outside −5,000…200,000 ft read as absent; alt_geom then stands in.
        QTest::newRow("highest") << R"({"hex":"a","alt_baro":200000})"_ba << u"200,000 ft"_s
                                 << u"FL2000"_s << 200000;
        QTest::newRow("lowest") << R"({"hex":"a","alt_baro":-5000})"_ba << u"-5,000 ft"_s
                                << u"-5,000ft"_s << -5000;
        QTest::newRow("-0") << R"({"hex":"a","alt_baro":-0.0})"_ba << u"0 ft"_s << u"0ft"_s << 0;
        QTest::newRow("above any aircraft")
            << R"({"hex":"a","alt_baro":200001,"alt_geom":9223372036854775807})"_ba << u"—"_s
            << u"—"_s << -1;
        QTest::newRow("below any ground")
            << R"({"hex":"a","alt_geom":-5001})"_ba << u"—"_s << u"—"_s << -1;
        QTest::newRow("baro off scale, geom stands in")
            << R"({"hex":"a","alt_baro":-9223372036854775808,"alt_geom":900})"_ba << u"900 ft"_s
            << u"900ft"_s << 900;
    }

    void altitudeTexts()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, text);
        QFETCH(QString, shortText);
        QFETCH(int, feet);
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const Aircraft a = decode(json);
        QCOMPARE(a.altitudeText(english), text);
        QCOMPARE(a.shortAltitude(english), shortText);
        QCOMPARE(
            a.altitudeFeet(), feet == -1 ? std::optional<qint64>() : std::optional<qint64>(feet));
    }

    void groupingFollowsTheLocale()
    {
        const Aircraft a = decode(R"({"hex":"a","alt_baro":12500,"baro_rate":-1280})"_ba);
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(a.altitudeText(german), u"12.500 ft"_s);
        QCOMPARE(a.verticalText(german), u"↓ 1.280 ft/min"_s);
    }

    void names_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("typeName");
        QTest::addColumn<QString>("operatorName");
        QTest::newRow("airline") << R"({"hex":"a1","flight":"ASA512  ","t":"b739"})"_ba
                                 << u"ASA512"_s << u"Boeing 737-900"_s << u"Alaska Airlines"_s;
        QTest::newRow("registration")
            << R"({"hex":"a2","flight":"   ","r":"N512AS","desc":"CESSNA 172 skyhawk"})"_ba
            << u"N512AS"_s << u"Cessna 172 Skyhawk"_s << QString();
        QTest::newRow("hex")
            << R"({"hex":"ab12cd","flight":" \t ","r":"","ownOp":"SKY HIGH flying club"})"_ba
            << u"AB12CD"_s << QString() << u"Sky High Flying Club"_s;
        QTest::newRow("unknown airline")
            << R"({"hex":"a3","flight":"ZZZ123"})"_ba << u"ZZZ123"_s << QString() << QString();
        QTest::newRow("empty operator") << R"({"hex":"a4","flight":"UPS2914 ","ownOp":""})"_ba
                                        << u"UPS2914"_s << QString() << u"UPS Airlines"_s;
    }

    void names()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, displayName);
        QFETCH(QString, typeName);
        QFETCH(QString, operatorName);
        const Aircraft a = decode(json);
        QCOMPARE(a.displayName(), displayName);
        QCOMPARE(a.typeName().value_or(QString()), typeName);
        QCOMPARE(a.operatorDisplayName().value_or(QString()), operatorName);
    }

    void classifications_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("emergency");
        QTest::addColumn<bool>("military");
        QTest::addColumn<bool>("helicopter");
        QTest::newRow("7700 despite none")
            << R"({"hex":"a","squawk":"7700","emergency":"none"})"_ba << true << false << false;
        QTest::newRow("7500") << R"({"hex":"a","squawk":"7500"})"_ba << true << false << false;
        QTest::newRow("7601") << R"({"hex":"a","squawk":"7601"})"_ba << false << false << false;
        QTest::newRow("none word")
            << R"({"hex":"a","emergency":"none"})"_ba << false << false << false;
        QTest::newRow("other word")
            << R"({"hex":"a","emergency":"minfuel"})"_ba << true << false << false;
        QTest::newRow("dbFlags 1") << R"({"hex":"a","dbFlags":1})"_ba << false << true << false;
        QTest::newRow("dbFlags 3") << R"({"hex":"a","dbFlags":3})"_ba << false << true << false;
        QTest::newRow("dbFlags 2") << R"({"hex":"a","dbFlags":2})"_ba << false << false << false;
        QTest::newRow("A7") << R"({"hex":"a","category":"A7","t":"B738"})"_ba << false << false
                            << true;
        QTest::newRow("ec35 lower") << R"({"hex":"a","t":"ec35"})"_ba << false << false << true;
        QTest::newRow("A1 plane") << R"({"hex":"a","category":"A1","t":"C172"})"_ba << false
                                  << false << false;
    }

    void classifications()
    {
        QFETCH(QByteArray, json);
        const Aircraft a = decode(json);
        QTEST(a.isEmergency(), "emergency");
        QTEST(a.isMilitary(), "military");
        QTEST(a.isHelicopter(), "helicopter");
    }

    void speedAndRate_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("vertical"); // empty: absent
        QTest::newRow("-63") << R"({"hex":"a","baro_rate":-63,"gs":319.5})"_ba << u"320 kt"_s
                             << QString();
        QTest::newRow("-64") << R"({"hex":"a","baro_rate":-64,"gs":0.4})"_ba << u"0 kt"_s
                             << u"↓ 64 ft/min"_s;
        QTest::newRow("geom") << R"({"hex":"a","geom_rate":1500})"_ba << u"—"_s
                              << u"↑ 1,500 ft/min"_s;
        QTest::newRow("baro wins")
            << R"({"hex":"a","baro_rate":0,"geom_rate":1500})"_ba << u"—"_s << QString();
        // Off any physical scale (0…5,000 kt, ±100,000 ft/min): absent, so never converted.
        QTest::newRow("1e308") << R"({"hex":"a","gs":1e308})"_ba << u"—"_s << QString();
        QTest::newRow("2^64 as integer")
            << R"({"hex":"a","gs":18446744073709551616})"_ba << u"—"_s << QString();
        QTest::newRow("5000.5 kt") << R"({"hex":"a","gs":5000.5})"_ba << u"—"_s << QString();
        QTest::newRow("5000 kt") << R"({"hex":"a","gs":5000})"_ba << u"5000 kt"_s << QString();
        QTest::newRow("negative speed") << R"({"hex":"a","gs":-1})"_ba << u"—"_s << QString();
        QTest::newRow("-0") << R"({"hex":"a","gs":-0.0})"_ba << u"0 kt"_s << QString();
        QTest::newRow("1e-320") << R"({"hex":"a","gs":1e-320})"_ba << u"0 kt"_s << QString();
        QTest::newRow("most negative rate")
            << R"({"hex":"a","baro_rate":-9223372036854775808})"_ba << u"—"_s << QString();
        QTest::newRow("fastest rate") << R"({"hex":"a","baro_rate":-100000,"geom_rate":5})"_ba
                                      << u"—"_s << u"↓ 100,000 ft/min"_s;
        QTest::newRow("baro rate off scale, geom stands in")
            << R"({"hex":"a","baro_rate":100001,"geom_rate":1500})"_ba << u"—"_s
            << u"↑ 1,500 ft/min"_s;
    }

    void speedAndRate()
    {
        QFETCH(QByteArray, json);
        const Aircraft a = decode(json);
        QTEST(a.speedText(), "speed");
        QTEST(a.verticalText(QLocale(QLocale::English)).value_or(QString()), "vertical");
    }

    void distances_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("compact");
        QTest::newRow("km") << u"km"_s << u"18.5 km"_s << u"18.5km"_s;
        QTest::newRow("nm") << u"nm"_s << u"10.0 nm"_s << u"10.0nm"_s;
        QTest::newRow("mi") << u"mi"_s << u"11.5 mi"_s << u"11.5mi"_s;
        QTest::newRow("unknown") << u"furlongs"_s << u"11.5 mi"_s << u"11.5mi"_s;
    }

    void distances()
    {
        QFETCH(QString, unit);
        const Aircraft a = decode(R"({"hex":"a","dst":10})"_ba);
        QTEST(*a.distanceText(unit), "text");
        QTEST(*a.distanceText(unit, true), "compact");
        QVERIFY(!decode(R"({"hex":"a"})"_ba).distanceText(unit));
    }

    void distancesOffScale_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("nm"); // empty: absent
        QTest::addColumn<QString>("look"); // empty: absent
        // Half the globe is the farthest a distance goes; a bearing lies within 0…360°.
        QTest::newRow("1.7e308") << R"({"hex":"a","dst":1.7e308,"dir":90})"_ba << QString()
                                 << QString();
        QTest::newRow("half the globe")
            << R"({"hex":"a","dst":10800,"dir":90})"_ba << u"10800.0 nm"_s << u"Look E"_s;
        QTest::newRow("beyond") << R"({"hex":"a","dst":10800.5})"_ba << QString() << QString();
        QTest::newRow("negative") << R"({"hex":"a","dst":-1,"dir":0})"_ba << QString() << QString();
        QTest::newRow("-0") << R"({"hex":"a","dst":-0.0,"dir":-0.0})"_ba << u"0.0 nm"_s
                            << u"Look N"_s;
        QTest::newRow("1e-320") << R"({"hex":"a","dst":1e-320,"dir":1e-320,"alt_baro":1000})"_ba
                                << u"0.0 nm"_s << u"Look N, 90° up"_s;
        QTest::newRow("bearing 1e308")
            << R"({"hex":"a","dst":1,"dir":1e308})"_ba << u"1.0 nm"_s << QString();
        QTest::newRow("bearing -90")
            << R"({"hex":"a","dst":1,"dir":-90})"_ba << u"1.0 nm"_s << QString();
    }

    void distancesOffScale()
    {
        QFETCH(QByteArray, json);
        const Aircraft a = decode(json);
        QTEST(a.distanceText(u"nm"_s).value_or(QString()), "nm");
        QTEST(a.lookDirection().value_or(QString()), "look");
        // The other units follow: absent together, never an overflowing conversion.
        QCOMPARE(a.distanceText(u"mi"_s).has_value(), a.distanceText(u"nm"_s).has_value());
        QCOMPARE(a.distanceText(u"km"_s).has_value(), a.distanceText(u"nm"_s).has_value());
    }

    void positionsAndTracksOffScale()
    {
        const Aircraft a =
            decode(R"({"hex":"a","lat":90.5,"lon":10,"track":1e308,"seen":-1,"seen_pos":-0.0})"_ba);
        QVERIFY(!a.lat);
        QCOMPARE(a.lon, 10.0);
        QVERIFY(!a.coordinate());
        QVERIFY(!a.track);
        QVERIFY(!a.seen);
        QCOMPARE(a.seenPos, 0.0);
        QVERIFY(!std::signbit(*a.seenPos));
        const Aircraft edge = decode(R"({"hex":"a","lat":-90,"lon":180,"track":360})"_ba);
        QCOMPARE(edge.coordinate(), (LatLon { -90, 180 }));
        QCOMPARE(edge.track, 360.0);
    }

    void integersBeyond64Bits()
    {
        // A number field takes any JSON number; the rest of the answer is unaffected.
        AircraftDecoder decoder;
        QString error;
        const auto response = decoder.decodeResponse(
            R"({"ac":[{"hex":"a","gs":-184467440737095516160,"flight":"12345678901234567890123 ",)"
            "\"r\":\"\\\"99999999999999999999\",\"lat\":1,\"lon\":2},{\"hex\":\"b\",\"alt_baro\":100000000000000000000000}]}"_ba,
            &error);
        QVERIFY2(response, qPrintable(error));
        QCOMPARE(response->ac->size(), 2);
        const Aircraft &a = response->ac->at(0);
        // Taken as a number, then dropped as no speed an aircraft flies.
        QVERIFY(!a.groundSpeed);
        QCOMPARE(a.flight, u"12345678901234567890123 "_s);
        QCOMPARE(a.registration, u"\"99999999999999999999"_s);
        QCOMPARE(a.lat, 1.0);
        // Not a whole number a 64-bit integer holds, so "not feet": on the ground, as any such
        // value.
        QCOMPARE(response->ac->at(1).altBaro, Altitude::ground());

        QVERIFY(!decoder.decodeResponse(
            R"({"ac":[{"hex":"a","alt_geom":99999999999999999999999}]})"_ba, &error));
        QVERIFY2(error.contains(u"alt_geom"_s), qPrintable(error));
    }

    void compass_data()
    {
        QTest::addColumn<double>("bearing");
        QTest::addColumn<QString>("point");
        QTest::newRow("0") << 0.0 << u"N"_s;
        QTest::newRow("359") << 359.0 << u"N"_s;
        QTest::newRow("348.75") << 348.75 << u"N"_s;
        QTest::newRow("11.25") << 11.25 << u"NNE"_s;
        QTest::newRow("180") << 180.0 << u"S"_s;
        QTest::newRow("360") << 360.0 << u"N"_s;
        QTest::newRow("315") << 315.0 << u"NW"_s;
        QTest::newRow("nan") << double(NAN) << u"N"_s;
    }

    void compass()
    {
        QFETCH(double, bearing);
        QTEST(Aircraft::compassPoint(bearing), "point");
    }

    void lookDirection_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("text");
        QTest::newRow("elevation")
            << R"({"hex":"a","dir":315,"dst":1,"alt_baro":1300})"_ba << u"Look NW, 12° up"_s;
        QTest::newRow("geom when baro absent")
            << R"({"hex":"a","dir":90,"dst":1,"alt_geom":1300})"_ba << u"Look E, 12° up"_s;
        QTest::newRow("ground")
            << R"({"hex":"a","dir":315,"dst":1,"alt_baro":"ground","alt_geom":900})"_ba
            << u"Look NW"_s;
        QTest::newRow("zero distance")
            << R"({"hex":"a","dir":0,"dst":0,"alt_baro":1000})"_ba << u"Look N"_s;
        QTest::newRow("no distance") << R"({"hex":"a","dir":0})"_ba << QString();
    }

    void lookDirection()
    {
        QFETCH(QByteArray, json);
        QTEST(decode(json).lookDirection().value_or(QString()), "text");
    }

    void homeLocationJson_data()
    {
        QTest::addColumn<QString>("label");
        QTest::newRow("plain") << u"Portland"_s;
        QTest::newRow("quotes and slashes") << u"\"Home\" \\ C:/x"_s;
        QTest::newRow("unicode") << u"Zürich ✈ 東京"_s;
        QTest::newRow("control") << u"a\nb\tc"_s;
    }

    void homeLocationJson()
    {
        QFETCH(QString, label);
        const HomeLocation home { 45.5, -122.600001, label };
        const auto bytes = home.toJsonBytes();
        QVERIFY(bytes);
        QVERIFY(bytes->startsWith("{\"latitude\":45.5,\"longitude\":-122.600001,\"label\":"));
        QCOMPARE(HomeLocation::fromJsonBytes(*bytes), home);
    }

    void homeLocationRejects()
    {
        QVERIFY(!(HomeLocation { NAN, 1, u"x"_s }.toJsonBytes()));
        QVERIFY(!(HomeLocation { 1, INFINITY, u"x"_s }.toJsonBytes()));
        QVERIFY(!HomeLocation::fromJsonBytes(R"({"latitude":1,"longitude":2})"));
        QVERIFY(!HomeLocation::fromJsonBytes(R"({"latitude":"1","longitude":2,"label":"x"})"));
        QVERIFY(!HomeLocation::fromJsonBytes(R"({"latitude":1,"longitude":2,"label":3})"));
        QVERIFY(!HomeLocation::fromJsonBytes("[1,2]"));
        QVERIFY(!HomeLocation::fromJsonBytes("{\"latitude\":1"));
    }

    void homeOffTheGlobe_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("valid");
        QTest::newRow("edges") << R"({"latitude":-90,"longitude":180,"label":"x"})"_ba << true;
        QTest::newRow("longitude 1e16")
            << R"({"latitude":45,"longitude":1e16,"label":"x"})"_ba << false;
        QTest::newRow("latitude 1e308")
            << R"({"latitude":1e308,"longitude":0,"label":"x"})"_ba << false;
        QTest::newRow("latitude 90.5")
            << R"({"latitude":90.5,"longitude":0,"label":"x"})"_ba << false;
        QTest::newRow("longitude -180.01")
            << R"({"latitude":0,"longitude":-180.01,"label":"x"})"_ba << false;
        QTest::newRow("beyond double")
            << R"({"latitude":0,"longitude":1e400,"label":"x"})"_ba << false;
    }

    void homeOffTheGlobe()
    {
        QFETCH(QByteArray, json);
        QTEST(HomeLocation::fromJsonBytes(json).has_value(), "valid");
        QVERIFY(!HomeLocation::isValidCoordinate(NAN, 0));
    }
};

QTEST_GUILESS_MAIN(TestAircraft)
#include "tst_aircraft.moc"
