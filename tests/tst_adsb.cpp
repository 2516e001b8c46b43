// SPDX-License-Identifier: GPL-3.0-or-later
#include "adsb.h"
#include "jsonreference.h"
#include "testserver.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const HomeLocation home { 45.5, -122.6, u"Home"_s };
const QString primaryPath = u"/v2/point/45.50000/-122.60000/25"_s;
const QString secondaryPath = u"/api/v2/lat/45.50000/lon/-122.60000/dist/25"_s;
// Time-out and deadline for the tests that wait for them.
constexpr int shortTimeoutMs = 300;
// For the tests that must not time out: far longer than any answer from this machine.
constexpr int longTimeoutMs = 5000;

RequestOptions options(int timeoutMs = longTimeoutMs)
{
    return RequestOptions { "Skyvelle/" SKYVELLE_VERSION " (+https://example.org/skyvelle)",
        timeoutMs };
}

QByteArray records(std::initializer_list<const char *> hexes, const char *key = "ac")
{
    QByteArray list;
    double distance = 1.0;
    for (const char *hex : hexes) {
        if (!list.isEmpty())
            list += ',';
        list += "{\"hex\":\"" + QByteArray(hex)
            + "\",\"lat\":45.6,\"lon\":-122.5,\"dst\":" + QByteArray::number(distance++) + '}';
    }
    return "{\"" + QByteArray(key) + "\":[" + list + "]}";
}

TestServer::Reply reply(const QByteArray &body, int status = 200)
{
    TestServer::Reply r;
    r.status = status;
    r.body = body;
    return r;
}

// How a row's source behaves.
TestServer::Reply behaviour(const QString &kind)
{
    if (kind == "aircraft"_L1)
        return reply(records({ "a1", "a2" }));
    if (kind == "empty"_L1)
        return reply(R"({"ac":[]})"_ba);
    if (kind == "503"_L1)
        return reply("Service Unavailable", 503);
    if (kind == "204"_L1)
        return reply(QByteArray(), 204);
    if (kind == "garbage"_L1)
        return reply("<html>rate limited</html>");
    if (kind == "bad record"_L1)
        return reply(R"({"ac":[{"hex":"a1","lat":1,"lon":2},{"lat":1}]})"_ba);
    if (kind == "wrong type"_L1)
        return reply(R"({"ac":[{"hex":"a1","gs":"fast"}]})"_ba);
    if (kind == "10 MB of garbage"_L1)
        return reply(QByteArray(10 * 1024 * 1024, '\x9c'));
    if (kind == "nested 10,000 deep"_L1)
        return reply("{\"ac\":" + QByteArray(10'000, '[') + QByteArray(10'000, ']') + '}');
    TestServer::Reply r = reply(records({ "a1" }));
    if (kind == "truncated"_L1)
        r.truncate = true;
    else if (kind == "reset"_L1)
        r.reset = true;
    else if (kind == "closed"_L1)
        r.closeWithoutAnswer = true;
    else
        qFatal("unknown behaviour %s", qPrintable(kind));
    return r;
}

struct Outcome {
    std::optional<FeedResult> result;
    std::optional<QString> error;
    int reports = 0;
};

Outcome run(FeedFetch *fetch)
{
    Outcome outcome;
    QObject::connect(fetch, &Reply::finished, fetch, [&] { ++outcome.reports; });
    if (!QTest::qWaitFor([&] { return outcome.reports > 0; }, 4 * longTimeoutMs))
        qWarning("the fetch reported nothing in time");
    // A second report would show up here.
    QCoreApplication::processEvents();
    if (outcome.reports != 1)
        qWarning("the fetch reported %d times", outcome.reports);
    else if (fetch->errorText().isEmpty())
        outcome.result = fetch->result();
    else
        outcome.error = fetch->errorText();
    delete fetch;
    return outcome;
}

} // namespace

class TestAdsb : public QObject {
    Q_OBJECT

    Services servicesFor(const QUrl &primary, const QUrl &secondary) const
    {
        QVariantMap overrides;
        overrides.insert(u"feedPrimary"_s, primary.toString());
        overrides.insert(u"feedSecondary"_s, secondary.toString());
        overrides.insert(u"feedPrimaryName"_s, u"Primary"_s);
        overrides.insert(u"feedSecondaryName"_s, u"Secondary"_s);
        overrides.insert(u"homepage"_s, u"https://example.org/skyvelle"_s);
        return Services::withOverrides(overrides);
    }

private Q_SLOTS:
    void queryRadius_data()
    {
        QTest::addColumn<double>("radius");
        QTest::addColumn<int>("sent");
        QTest::newRow("25") << 25.0 << 25;
        QTest::newRow("24.5") << 24.5 << 25;
        QTest::newRow("2.5") << 2.5 << 3;
        QTest::newRow("0.2") << 0.2 << 1;
        QTest::newRow("0") << 0.0 << 1;
        QTest::newRow("negative") << -5.0 << 1;
        QTest::newRow("1000") << 1000.0 << 250;
        QTest::newRow("nan") << double(NAN) << 1;
        QTest::newRow("infinite") << double(INFINITY) << 250;
    }

    void queryRadius()
    {
        QFETCH(double, radius);
        QTEST(ADSB::queryRadius(radius), "sent");
    }

    void urls()
    {
        const auto sources = ADSB::sources(Services::defaults());
        QCOMPARE(sources.size(), 2);
        QCOMPARE(sources[0].name, u"adsb.lol"_s);
        QCOMPARE(sources[0].url(45.123456, -122.9, 25),
            u"https://api.adsb.lol/v2/point/45.12346/-122.90000/25"_s);
        QCOMPARE(sources[1].name, u"adsb.fi"_s);
        QCOMPARE(sources[1].url(45.123456, -122.9, 250),
            u"https://opendata.adsb.fi/api/v2/lat/45.12346/lon/-122.90000/dist/250"_s);
    }

    // Malformed JSON is refused with the document parser's words wherever it lies: in a record,
    // under a key the decoder never reads, after a bad record, after the root. The reference
    // (simdjson's document parser) refuses each one too, and a single record the same way.
    void malformedAnswers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        const QString malformed = u"the answer is not valid JSON (truncated or malformed)"_s;
        const QString number = u"the answer is not valid JSON (Problem while parsing a number)"_s;
        const QString string = u"the answer is not valid JSON (Problem while parsing a string)"_s;
        const auto atom = [](char letter) {
            return u"the answer is not valid JSON (Problem while parsing an atom starting with "
                   "the letter '%1')"_s.arg(QLatin1Char(letter));
        };
        const auto in = [](const char *field) {
            return R"({"ac":[{"hex":"a",)" + QByteArray(field) + "}]}";
        };
        QTest::newRow("empty") << ""_ba << u"the answer is empty"_s;
        QTest::newRow("white space only") << " \n\t"_ba << u"the answer is empty"_s;
        QTest::newRow("invalid UTF-8 in a key never read")
            << in("\"\xff\":1") << u"the answer is not valid UTF-8"_s;
        QTest::newRow("control character in a text never read")
            << in("\"x\":\"a\tb\"")
            << u"the answer is not valid JSON (Within strings, some characters must be escaped, "
               "we found unescaped characters)"_s;
        QTest::newRow("cut mid-record") << R"({"ac":[{"hex":"a","lat":1)"_ba << malformed;
        QTest::newRow("cut mid-string") << "{\"ac\":[{\"hex\":\"a"_ba << malformed;
        QTest::newRow("cut mid-number") << R"({"ac":[{"hex":"a","lat":45.1)"_ba << malformed;
        QTest::newRow("cut after a record's nested object")
            << R"({"ac":[{"hex":"a","lastPosition":{"lat":1}})"_ba << malformed;
        QTest::newRow("trailing garbage") << R"({"ac":[]} x)"_ba << malformed;
        QTest::newRow("two documents") << R"({"ac":[]}{"ac":[]})"_ba << malformed;
        QTest::newRow("unbalanced brackets") << R"({"ac":[{"hex":"a"}})"_ba << malformed;
        QTest::newRow("a bracket of the other kind") << in("\"x\":[1}") << malformed;
        QTest::newRow("missing element") << in("\"x\":[1,,2]") << malformed;
        QTest::newRow("missing colon") << in("\"x\":{\"y\" 1}") << malformed;
        // A string before a colon reads as a key to a parser stepping over values.
        QTest::newRow("colon after a text in a list")
            << R"({"ac":[-21.3,"dbFlags":1}],"total":1})"_ba << malformed;
        QTest::newRow("nested 10,000 deep")
            << "{\"ac\":" + QByteArray(10'000, '[') + QByteArray(10'000, ']') + '}'
            << u"the answer is not valid JSON (The JSON document was too deep (too many nested "
               "objects and arrays))"_s;
        QTest::newRow("tru") << in("\"x\":tru") << atom('t');
        QTest::newRow("truex") << in("\"x\":truex") << atom('t');
        QTest::newRow("fals") << in("\"x\":fals") << atom('f');
        QTest::newRow("nul") << in("\"x\":nul") << atom('n');
        QTest::newRow("leading zero") << in("\"x\":01") << number;
        QTest::newRow("point without digits") << in("\"x\":1.") << number;
        QTest::newRow("lone minus") << in("\"x\":-") << number;
        QTest::newRow("exponent without digits") << in("\"x\":1e+") << number;
        QTest::newRow("letter after digits") << in("\"x\":12a") << number;
        QTest::newRow("beyond any double") << in("\"x\":1e999") << number;
        QTest::newRow("bad escape") << in("\"x\":\"\\q\"") << string;
        QTest::newRow("lone surrogate") << in("\"x\":\"\\ud800\"") << string;
        QTest::newRow("bad escape in a key") << in("\"\\q\":1") << string;
        QTest::newRow("bad number in a number field") << in("\"gs\":01") << number;
        QTest::newRow("bad literal in a number field") << in("\"gs\":tru") << atom('t');
        QTest::newRow("bad number in an integer field") << in("\"alt_geom\":-") << number;
        QTest::newRow("bad escape in a text field") << in("\"flight\":\"\\x\"") << string;
        QTest::newRow("after a bad record") << R"({"ac":[{"lat":1}],"x":tru})"_ba << atom('t');
        QTest::newRow("malformed list under no known key")
            << R"({"x":[1 2],"ac":[]})"_ba << malformed;
        QTest::newRow("malformed root array") << "[1,]"_ba << malformed;
        QTest::newRow("root word") << "nul"_ba << atom('n');
        QTest::newRow("root number and more") << "1 2"_ba << malformed;
    }

    void malformedAnswers()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        QVERIFY(!JsonReference::accepts(json));
        AircraftDecoder decoder;
        QString error;
        QVERIFY(!decoder.decodeResponse(json, &error));
        QCOMPARE(error, message);
        QVERIFY(!decoder.decodeAircraft(json, &error));
        QCOMPARE(error, message);
    }

    // JSON that only looks odd: the reference and the decoder both take it.
    void wellFormedAnswers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("hex");
        const auto deep = [](int levels, const QByteArray &innermost) {
            return R"({"ac":[{"hex":"a","x":)" + QByteArray(levels, '[') + innermost
                + QByteArray(levels, ']') + "}]}";
        };
        QTest::newRow("white space everywhere")
            << "\n{ \"ac\" :\t[ { \"hex\" : \"a\" , \"gs\" : 1 ,\r\n \"x\" : [ true , null ] } ] }\n"_ba
            << u"a"_s;
        QTest::newRow("escapes in keys and texts")
            << "{\"a\\u0063\":[{\"h\\u0065x\":\"q\\u00e9\\\"\\n\\ud83d\\ude00\"}]}"_ba
            << u"qé\"\n😀"_s;
        QTest::newRow("values of every kind never read")
            << R"({"ac":[{"hex":"a","t1":true,"f":false,"n":null,"s":"","e":[],"o":{},"m":[{"k":[-0.5e-3,"v"]}]}]})"_ba
            << u"a"_s;
        QTest::newRow("integers beyond 64 bits never read")
            << R"({"ac":[{"hex":"a","x":-9223372036854775809,"y":123456789012345678901234567890}]})"_ba
            << u"a"_s;
        QTest::newRow("beside a fraction of twenty digits")
            << R"({"ac":[{"hex":"a","x":173366010004407379103232,"y":-0.088147418214600004432}]})"_ba
            << u"a"_s;
        // The record is the third level and the parser allows 1023 that hold something, and an
        // empty one below them.
        QTest::newRow("deepest") << deep(1020, "[]") << u"a"_s;
        QTest::newRow("deepest with a value") << deep(1020, "1") << u"a"_s;
    }

    void wellFormedAnswers()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, hex);
        QVERIFY(JsonReference::accepts(json));
        AircraftDecoder decoder;
        QString error;
        const auto response = decoder.decodeResponse(json, &error);
        QVERIFY2(response, qPrintable(error));
        QCOMPARE(response->ac->size(), 1);
        QCOMPARE(response->ac->first().hex, hex);
    }

    void oneLevelTooDeep()
    {
        const QByteArray json = R"({"ac":[{"hex":"a","x":)" + QByteArray(1021, '[') + "[]"
            + QByteArray(1021, ']') + "}]}";
        QVERIFY(!JsonReference::accepts(json));
        QString error;
        QVERIFY(!AircraftDecoder().decodeResponse(json, &error));
        QVERIFY2(error.contains(u"too deep"_s), qPrintable(error));
    }

    // Of a repeated key in a record the last counts, its type included; of a repeated list in
    // the envelope the first, as a lookup by key finds it.
    void repeatedKeys()
    {
        AircraftDecoder decoder;
        QString error;
        const auto last = decoder.decodeResponse(
            R"({"ac":[{"hex":null,"hex":"a","gs":"x","gs":300,"flight":"A","flight":null,"r":null,"r":"N1"}]})"_ba,
            &error);
        QVERIFY2(last, qPrintable(error));
        const Aircraft &a = last->ac->first();
        QCOMPARE(a.hex, u"a"_s);
        QCOMPARE(a.groundSpeed, 300.0);
        QVERIFY(!a.flight);
        QCOMPARE(a.registration, u"N1"_s);

        QVERIFY(!decoder.decodeResponse(R"({"ac":[{"hex":"a","gs":300,"gs":"x"}]})"_ba, &error));
        QCOMPARE(error, u"aircraft 1: \"gs\" is not a number"_s);
        QVERIFY(!decoder.decodeResponse(R"({"ac":[{"hex":"a","hex":null}]})"_ba, &error));
        QCOMPARE(error, u"aircraft 1: \"hex\" is null"_s);

        const auto first = decoder.decodeResponse(
            R"({"ac":[{"hex":"a"}],"ac":[{"hex":1}],"aircraft":null,"aircraft":[]})"_ba, &error);
        QVERIFY2(first, qPrintable(error));
        QCOMPARE(first->ac->size(), 1);
        QVERIFY(!first->aircraft);
    }

    // Numbers however written, as the document parser reads them: doubles to the nearest,
    // integer fields only what is whole and fits 64 bits.
    void numbersAsWritten_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<double>("seen"); // NaN: refused as no number; negative: dropped
        QTest::addColumn<QString>("flags"); // empty: not a whole number
        const double no = std::nan("");
        QTest::newRow("integer") << "320"_ba << 320.0 << u"320"_s;
        QTest::newRow("-0") << "-0"_ba << 0.0 << u"0"_s;
        QTest::newRow("fraction") << "0.1"_ba << 0.1 << QString();
        QTest::newRow("whole fraction") << "3.0"_ba << 3.0 << u"3"_s;
        QTest::newRow("exponent") << "1E+2"_ba << 100.0 << u"100"_s;
        QTest::newRow("negative exponent") << "2.5e-1"_ba << 0.25 << QString();
        QTest::newRow("underflow") << "1e-400"_ba << 0.0 << u"0"_s;
        QTest::newRow("long fraction")
            << "0.1234567890123456789012345"_ba << 0.1234567890123456789012345 << QString();
        QTest::newRow("nine digits") << "123456789"_ba << 123456789.0 << u"123456789"_s;
        QTest::newRow("largest") << "9223372036854775807"_ba << 9223372036854775807.0
                                 << u"9223372036854775807"_s;
        QTest::newRow("smallest") << "-9223372036854775808"_ba << -1.0 << u"-9223372036854775808"_s;
        QTest::newRow("2^63") << "9223372036854775808"_ba << 9223372036854775808.0 << QString();
        QTest::newRow("below -2^63") << "-9223372036854775809"_ba << -1.0 << QString();
        QTest::newRow("beyond 64 bits")
            << "18446744073709551616"_ba << 18446744073709551616.0 << QString();
        QTest::newRow("whole, as a double")
            << "12345678901234567.0"_ba << 12345678901234568.0 << u"12345678901234568"_s;
        QTest::newRow("text") << "\"1\""_ba << no << QString();
    }

    void numbersAsWritten()
    {
        QFETCH(QByteArray, value);
        QFETCH(double, seen);
        QFETCH(QString, flags);
        AircraftDecoder decoder;
        QString error;
        // The time since a message, the number field with the widest range.
        const auto a = decoder.decodeAircraft(R"({"hex":"a","seen":)" + value + '}', &error);
        QCOMPARE(bool(a), !std::isnan(seen));
        if (a)
            QCOMPARE(a->seen, seen < 0 ? std::nullopt : std::optional<double>(seen));
        const auto withFlags =
            decoder.decodeAircraft(R"({"hex":"a","dbFlags":)" + value + '}', &error);
        QCOMPARE(bool(withFlags), !flags.isEmpty());
        if (withFlags)
            QCOMPARE(QString::number(*withFlags->dbFlags), flags);
        else
            QCOMPARE(error, u"\"dbFlags\" is not a whole number"_s);
    }

    // An answer with room after its bytes is read in place, one without is copied first: the
    // same aircraft either way, and nothing read past the end of the one without.
    void answersWithAndWithoutRoom()
    {
        QFile file(QStringLiteral(SKYVELLE_FIXTURES "/aggregator-point.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray roomy = file.readAll();
        roomy.reserve(roomy.size() + 4096);
        const QByteArray exact(roomy.constData(), roomy.size());
        AircraftDecoder decoder;
        const auto inPlace = decoder.decodeResponse(roomy);
        const auto copied = decoder.decodeResponse(exact);
        QVERIFY(inPlace && copied);
        QCOMPARE(inPlace->ac->size(), 12);
        QVERIFY(inPlace->ac == copied->ac);

        // What follows the bytes would close the answer, were it read.
        static const char text[] = R"({"ac":[{"hex":"a"}]})";
        const QByteArray cut = QByteArray::fromRawData(text, qsizetype(sizeof text) - 3);
        QString error;
        QVERIFY(!decoder.decodeResponse(cut, &error));
        QCOMPARE(error, u"the answer is not valid JSON (truncated or malformed)"_s);
    }

    void usableAircraft()
    {
        AircraftDecoder decoder;
        const auto response = decoder.decodeResponse(R"({"ac":[
            {"hex":"far","lat":1,"lon":1,"dst":3.2},
            {"hex":"none1","lat":1,"lon":1},
            {"hex":"near","lat":1,"lon":1,"dst":1.0},
            {"hex":"far2","lat":1,"lon":1,"dst":3.2},
            {"hex":"nolat","lon":1,"dst":0.1},
            {"hex":"nolon","lat":1,"dst":0.1},
            {"hex":"stale","lat":1,"lon":1,"dst":0.1,"seen_pos":60},
            {"hex":"fresh","lat":1,"lon":1,"dst":5,"seen_pos":59.9},
            {"hex":"none2","lat":1,"lon":1}]})"_ba);
        QVERIFY(response);
        QStringList order;
        for (const Aircraft &a : ADSB::usableAircraft(*response->ac))
            order << a.hex;
        QCOMPARE(order,
            QStringList({ u"near"_s, u"far"_s, u"far2"_s, u"fresh"_s, u"none1"_s, u"none2"_s }));
    }

    void usableAircraftOrders_data()
    {
        QTest::addColumn<QByteArray>("records");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("already nearest first")
            << R"({"hex":"a","lat":1,"lon":1,"dst":1},{"hex":"b","lat":1,"lon":1,"dst":2},
                  {"hex":"c","lat":1,"lon":1})"_ba
            << QStringList { u"a"_s, u"b"_s, u"c"_s };
        QTest::newRow("reversed")
            << R"({"hex":"a","lat":1,"lon":1},{"hex":"b","lat":1,"lon":1,"dst":2},
                  {"hex":"c","lat":1,"lon":1,"dst":1})"_ba
            << QStringList { u"c"_s, u"b"_s, u"a"_s };
        QTest::newRow("ordered, one dropped")
            << R"({"hex":"a","lat":1,"lon":1,"dst":1},{"hex":"b","lon":1,"dst":2},
                  {"hex":"c","lat":1,"lon":1,"dst":3})"_ba
            << QStringList { u"a"_s, u"c"_s };
        QTest::newRow("equal distances keep feed order")
            << R"({"hex":"a","lat":1,"lon":1,"dst":2},{"hex":"b","lat":1,"lon":1,"dst":1},
                  {"hex":"c","lat":1,"lon":1,"dst":2},{"hex":"d","lat":1,"lon":1,"dst":1})"_ba
            << QStringList { u"b"_s, u"d"_s, u"a"_s, u"c"_s };
        QTest::newRow("none usable")
            << R"({"hex":"a","lat":1},{"hex":"b","lon":1})"_ba << QStringList {};
    }

    // The same order whether the list is handed over or shared, and a shared one is left as
    // it was.
    void usableAircraftOrders()
    {
        QFETCH(QByteArray, records);
        QFETCH(QStringList, expected);
        AircraftDecoder decoder;
        const auto response = decoder.decodeResponse("{\"ac\":[" + records + "]}");
        QVERIFY(response);
        const QList<Aircraft> shared = *response->ac;
        const auto names = [](const QList<Aircraft> &list) {
            QStringList hexes;
            for (const Aircraft &a : list)
                hexes << a.hex;
            return hexes;
        };
        const QStringList before = names(shared);
        QCOMPARE(names(ADSB::usableAircraft(shared)), expected);
        QCOMPARE(names(shared), before);
        QList<Aircraft> own = *response->ac;
        own.detach();
        QCOMPARE(names(ADSB::usableAircraft(std::move(own))), expected);
    }

    // Longer lists, shuffled and thinned, put in order where they lie: each record arrives
    // whole, as a stable sort of copies puts it.
    void usableAircraftMatchesAStableSort()
    {
        quint32 random = 7;
        const auto next = [&random](quint32 below) {
            random = random * 1664525u + 1013904223u;
            return (random >> 8) % below;
        };
        for (int round = 0; round < 50; ++round) {
            QByteArray records;
            const int count = 1 + int(next(60));
            for (int i = 0; i < count; ++i) {
                const quint32 kind = next(10);
                records += (i ? ","_ba : ""_ba) + "{\"hex\":\"" + QByteArray::number(i)
                    + "\",\"flight\":\"F" + QByteArray::number(i) + "\",\"squawk\":\"1200\""
                    + (kind == 0 ? ""_ba : ",\"lat\":1,\"lon\":1"_ba)
                    + (kind == 1 ? ""_ba : ",\"dst\":" + QByteArray::number(next(8)))
                    + (kind == 2 ? ",\"seen_pos\":61"_ba : ""_ba) + "}";
            }
            AircraftDecoder decoder;
            const auto response = decoder.decodeResponse("{\"ac\":[" + records + "]}");
            QVERIFY(response);
            QList<Aircraft> expected;
            for (const Aircraft &a : *response->ac) {
                if (a.lat && a.lon && !(a.seenPos && *a.seenPos >= 60.0))
                    expected << a;
            }
            std::stable_sort(expected.begin(), expected.end(), [](const auto &a, const auto &b) {
                return a.distanceNM.value_or(INFINITY) < b.distanceNM.value_or(INFINITY);
            });
            QList<Aircraft> own = *response->ac;
            own.detach();
            QCOMPARE(ADSB::usableAircraft(std::move(own)), expected);
        }
    }

    void failOver_data()
    {
        QTest::addColumn<QString>("primary");
        QTest::addColumn<QString>("secondary");
        QTest::addColumn<QString>("source"); // empty: an error
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("secondaryAsked");

        QTest::newRow("aircraft, not asked")
            << u"aircraft"_s << u"aircraft"_s << u"Primary"_s << 2 << QString() << 0;
        QTest::newRow("empty, aircraft")
            << u"empty"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("empty, empty")
            << u"empty"_s << u"empty"_s << u"Primary"_s << 0 << QString() << 1;
        QTest::newRow("empty, fails")
            << u"empty"_s << u"503"_s << u"Primary"_s << 0 << QString() << 1;
        QTest::newRow("fails, aircraft")
            << u"503"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("fails, empty")
            << u"garbage"_s << u"empty"_s << u"Secondary"_s << 0 << QString() << 1;
        QTest::newRow("fails, fails (status)")
            << u"garbage"_s << u"503"_s << QString() << 0 << u"Secondary returned an error"_s << 1;
        QTest::newRow("other 2xx is an error")
            << u"503"_s << u"204"_s << QString() << 0 << u"Secondary returned an error"_s << 1;
        QTest::newRow("fails, bad record") << u"503"_s << u"bad record"_s << QString() << 0
                                           << u"Secondary: aircraft 2: \"hex\" is missing"_s << 1;
        QTest::newRow("fails, wrong type")
            << u"503"_s << u"wrong type"_s << QString() << 0
            << u"Secondary: aircraft 1: \"gs\" is not a number"_s << 1;
        QTest::newRow("fails, garbage") << u"503"_s << u"garbage"_s << QString() << 0
                                        << u"Secondary: the answer is not valid JSON"_s << 1;
        QTest::newRow("truncated, closed")
            << u"truncated"_s << u"closed"_s << QString() << 0 << u"Secondary: "_s << 1;
        QTest::newRow("closed, aircraft")
            << u"closed"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("reset, aircraft")
            << u"reset"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("fails, reset")
            << u"503"_s << u"reset"_s << QString() << 0 << u"Secondary: Connection closed"_s << 1;
        QTest::newRow("10 MB of garbage, aircraft")
            << u"10 MB of garbage"_s << u"aircraft"_s << u"Secondary"_s << 2 << QString() << 1;
        QTest::newRow("fails, 10 MB of garbage")
            << u"503"_s << u"10 MB of garbage"_s << QString() << 0
            << u"Secondary: the answer is not valid UTF-8"_s << 1;
        QTest::newRow("fails, nested 10,000 deep")
            << u"503"_s << u"nested 10,000 deep"_s << QString() << 0 << u"Secondary: "_s << 1;
    }

    void failOver()
    {
        QFETCH(QString, primary);
        QFETCH(QString, secondary);
        QFETCH(QString, source);
        QFETCH(int, count);
        QFETCH(QString, message);
        QFETCH(int, secondaryAsked);

        TestServer server;
        server.setReply(primaryPath, behaviour(primary));
        server.setReply(secondaryPath, behaviour(secondary));

        QNetworkAccessManager network;
        const Services services = servicesFor(server.baseUrl(), server.baseUrl());
        const Outcome outcome = run(ADSB::fetch(&network, services, home, 25, options(), this));

        // The network layer itself may retry once on a connection closed without an answer.
        QVERIFY(server.requestCount(u"/v2/point"_s) >= 1);
        QCOMPARE(server.requestCount(u"/api/v2"_s) > 0, secondaryAsked > 0);
        if (source.isEmpty()) {
            QVERIFY(!outcome.result);
            QVERIFY(outcome.error);
            QVERIFY2(outcome.error->startsWith(message), qPrintable(*outcome.error));
            QVERIFY(!outcome.error->contains(u'\n'));
        } else {
            QVERIFY(outcome.result);
            QCOMPARE(outcome.result->source, source);
            QCOMPARE(outcome.result->aircraft.size(), count);
        }
    }

    void refusedConnections()
    {
        QNetworkAccessManager network;
        const QUrl closed(u"http://127.0.0.1:%1"_s.arg(TestServer::closedPort()));
        const Outcome outcome =
            run(ADSB::fetch(&network, servicesFor(closed, closed), home, 25, options(), this));
        QVERIFY(outcome.error);
        QVERIFY2(outcome.error->startsWith(u"Secondary: "_s), qPrintable(*outcome.error));
        QVERIFY(outcome.error->size() > u"Secondary: "_s.size());
    }

    void unparsableAddressesAreSkipped()
    {
        QNetworkAccessManager network;
        Services services = Services::defaults();
        services.feedPrimary = QUrl();
        services.feedSecondary = QUrl();
        const Outcome outcome = run(ADSB::fetch(&network, services, home, 25, options(), this));
        QVERIFY(outcome.error);
        QCOMPARE(outcome.error, u"No flight data source reachable"_s);
    }

    void aircraftKeyAndRequestShape()
    {
        TestServer server;
        server.setReply(primaryPath, behaviour(u"empty"_s));
        server.setReply(secondaryPath, reply(records({ "b1" }, "aircraft")));
        QNetworkAccessManager network;
        const Outcome outcome = run(ADSB::fetch(&network,
            servicesFor(server.baseUrl(), server.baseUrl()), home, 24.6, options(), this));
        QVERIFY(outcome.result);
        QCOMPARE(outcome.result->aircraft.first().hex, u"b1"_s);

        const auto requests = server.requests();
        QCOMPARE(requests.size(), 2);
        for (const auto &request : requests) {
            QCOMPARE(request.method, "GET"_ba);
            QCOMPARE(request.headers.value("user-agent"),
                "Skyvelle/" SKYVELLE_VERSION " (+https://example.org/skyvelle)"_ba);
            QVERIFY(!request.headers.contains("authorization"));
        }
        QCOMPARE(requests[0].path, primaryPath);
        QCOMPARE(requests[1].path, secondaryPath);
    }

    void hangingPrimaryTimesOut()
    {
        TestServer server;
        TestServer::Reply hang;
        hang.hang = true;
        server.setReply(primaryPath, hang);
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        QNetworkAccessManager network;
        QElapsedTimer timer;
        timer.start();
        const Outcome outcome =
            run(ADSB::fetch(&network, servicesFor(server.baseUrl(), server.baseUrl()), home, 25,
                options(shortTimeoutMs), this));
        QVERIFY(outcome.result);
        QCOMPARE(outcome.result->source, u"Secondary"_s);
        // Qt runs its timers coarsely, which may fire up to 5% early.
        QVERIFY(timer.elapsed() >= shortTimeoutMs * 95 / 100 - 50);
    }

    void tricklingSourceMeetsItsDeadline()
    {
        // A byte every 50 ms never looks idle, so only a deadline on the whole answer ends it.
        TestServer server;
        TestServer::Reply slow = behaviour(u"aircraft"_s);
        slow.trickleMs = 50;
        server.setReply(primaryPath, slow);
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        QNetworkAccessManager network;
        QElapsedTimer timer;
        timer.start();
        const Services services = servicesFor(server.baseUrl(), server.baseUrl());
        const Outcome outcome =
            run(ADSB::fetch(&network, services, home, 25, options(shortTimeoutMs), this));
        QVERIFY(outcome.result);
        QCOMPARE(outcome.result->source, u"Secondary"_s);
        QVERIFY(timer.elapsed() >= shortTimeoutMs * 95 / 100 - 50);

        server.setReply(secondaryPath, slow);
        const Outcome both =
            run(ADSB::fetch(&network, services, home, 25, options(shortTimeoutMs), this));
        QVERIFY(both.error);
        QCOMPARE(both.error, u"Secondary: The request timed out."_s);
    }

    // The real limits, not shortened ones: 50 MB of valid JSON passes the 32 MiB cap of no
    // source, and a byte a second still ends at the 8 s deadline.
    void realCapAndDeadline()
    {
        QByteArray huge = records({ "a1" });
        huge.insert(1, QByteArray(50 * 1000 * 1000, ' '));
        TestServer server;
        server.setReply(primaryPath, reply(huge));
        server.setReply(secondaryPath, reply(huge));
        QNetworkAccessManager network;
        const Services services = servicesFor(server.baseUrl(), server.baseUrl());
        RequestOptions real = options(RequestOptions::defaultTimeoutMs);
        QCOMPARE(real.maxBytes, 32 * 1024 * 1024);
        const Outcome tooLarge = run(ADSB::fetch(&network, services, home, 25, real, this));
        QCOMPARE(tooLarge.error, u"Secondary: the answer is too large"_s);

        TestServer::Reply byteASecond = behaviour(u"aircraft"_s);
        byteASecond.trickleMs = 1000;
        server.setReply(primaryPath, byteASecond);
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        QElapsedTimer timer;
        timer.start();
        const Outcome outcome = run(ADSB::fetch(&network, services, home, 25, real, this));
        QVERIFY(outcome.result);
        QCOMPARE(outcome.result->source, u"Secondary"_s);
        QVERIFY(timer.elapsed() >= RequestOptions::defaultTimeoutMs * 95 / 100 - 50);
        QVERIFY(timer.elapsed() < RequestOptions::defaultTimeoutMs + 3000);
    }

    void answerCap_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("source"); // empty: too large everywhere

        // A small cap stands in for the real 32 MiB, which would take seconds to send.
        const qint64 cap = 20'000;
        QTest::newRow("declared length, over") << false << cap + 1 << QString();
        QTest::newRow("no length, over") << true << cap * 4 << QString();
        QTest::newRow("declared length, at the cap") << false << cap << u"Primary"_s;
        QTest::newRow("no length, at the cap") << true << cap << u"Primary"_s;
    }

    void answerCap()
    {
        QFETCH(bool, chunked);
        QFETCH(qint64, size);
        QFETCH(QString, source);
        // Valid JSON, padded with white space to the size.
        QByteArray body = records({ "a1" });
        body.insert(1, QByteArray(size - body.size(), ' '));
        TestServer::Reply answer = reply(body);
        answer.chunked = chunked;
        TestServer server;
        server.setReply(primaryPath, answer);
        server.setReply(secondaryPath, answer);
        QNetworkAccessManager network;
        const Services services = servicesFor(server.baseUrl(), server.baseUrl());
        RequestOptions capped = options();
        capped.maxBytes = 20'000;
        const Outcome outcome = run(ADSB::fetch(&network, services, home, 25, capped, this));
        if (!source.isEmpty()) {
            QVERIFY(outcome.result);
            QCOMPARE(outcome.result->source, source);
            return;
        }
        QCOMPARE(outcome.error, u"Secondary: the answer is too large"_s);

        // Too large is that source's failure, not the whole fetch's.
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        const Outcome next = run(ADSB::fetch(&network, services, home, 25, capped, this));
        QVERIFY(next.result);
        QCOMPARE(next.result->source, u"Secondary"_s);
    }

    void timeoutMessage()
    {
        TestServer server;
        TestServer::Reply hang;
        hang.hang = true;
        server.setReply(secondaryPath, hang);
        QNetworkAccessManager network;
        const QUrl closed(u"http://127.0.0.1:%1"_s.arg(TestServer::closedPort()));
        const Outcome outcome = run(ADSB::fetch(&network, servicesFor(closed, server.baseUrl()),
            home, 25, options(shortTimeoutMs), this));
        QVERIFY(outcome.error);
        QCOMPARE(outcome.error, u"Secondary: The request timed out."_s);
    }

    void cancelStopsTheCall()
    {
        TestServer server;
        TestServer::Reply hang;
        hang.hang = true;
        server.setReply(primaryPath, hang);
        server.setReply(secondaryPath, behaviour(u"aircraft"_s));
        QNetworkAccessManager network;
        FeedFetch *fetch = ADSB::fetch(&network, servicesFor(server.baseUrl(), server.baseUrl()),
            home, 25, options(shortTimeoutMs), this);
        QSignalSpy finished(fetch, &Reply::finished);
        QTRY_COMPARE(server.requestCount(u"/v2/point"_s), 1);
        fetch->cancel();
        QVERIFY(fetch->isCancelled());
        // Past the time-out that would otherwise have moved on to the secondary.
        QTest::qWait(shortTimeoutMs + 100);
        QCOMPARE(finished.size(), 0);
        QVERIFY(!fetch->isFinished());
        QCOMPARE(server.requestCount(u"/api/v2"_s), 0);
        delete fetch;
    }
};

QTEST_GUILESS_MAIN(TestAdsb)
#include "tst_adsb.moc"
