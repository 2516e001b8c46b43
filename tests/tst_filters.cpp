// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftdecoder.h"
#include "aircraftfilter.h"

#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(QSet<AircraftFilter>)

namespace {

// A small sky covering every filter, in feed order.
QList<Aircraft> sky()
{
    AircraftDecoder decoder;
    const auto response = decoder.decodeResponse(R"({"ac":[
        {"hex":"e1","flight":"ASA512  ","squawk":"7700","t":"B739","r":"N512AS","alt_baro":9000},
        {"hex":"m1","flight":"RCH440  ","dbFlags":1,"t":"C17","alt_baro":24000},
        {"hex":"h1","flight":"N911HX  ","t":"ec35","alt_baro":1200},
        {"hex":"mh","dbFlags":3,"category":"A7","alt_baro":3000},
        {"hex":"u1","flight":"UPS2914 ","t":"C208","alt_baro":"ground","alt_geom":20},
        {"hex":"g1","flight":"N757LY  ","t":"C172","alt_geom":1999},
        {"hex":"g2","r":"N123AB","t":"SR22","alt_geom":2000},
        {"hex":"g3","alt_baro":-40},
        {"hex":"abcdef","flight":"DAL1    ","t":"A321","r":"N301DN"}
    ]})"_ba);
    return *response->ac;
}

QStringList hexes(const QList<Aircraft> &aircraft)
{
    QStringList result;
    for (const Aircraft &a : aircraft)
        result << a.hex;
    return result;
}

} // namespace

class TestFilters : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displayed_data()
    {
        QTest::addColumn<QSet<AircraftFilter>>("filters");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");

        const QStringList everything = hexes(sky());
        using F = AircraftFilter;
        QTest::newRow("nothing") << QSet<F>() << QString() << everything;
        QTest::newRow("blank search") << QSet<F>() << u" \t  "_s << everything;
        QTest::newRow("emergency")
            << QSet<F> { F::emergency } << QString() << QStringList { u"e1"_s };
        QTest::newRow("military or helicopters") << QSet<F> { F::military,
            F::helicopters } << QString() << QStringList { u"m1"_s, u"h1"_s, u"mh"_s };
        QTest::newRow("airliners by callsign")
            << QSet<F> { F::airliners } << QString()
            << QStringList { u"e1"_s, u"m1"_s, u"u1"_s, u"abcdef"_s };
        QTest::newRow("general aviation") << QSet<F> { F::generalAviation } << QString()
                                          << QStringList { u"g1"_s, u"g2"_s, u"g3"_s };
        QTest::newRow("low altitude")
            << QSet<F> { F::lowAltitude } << QString() << QStringList { u"h1"_s, u"g1"_s, u"g3"_s };
        QTest::newRow("type code") << QSet<F>() << u"b739"_s << QStringList { u"e1"_s };
        QTest::newRow("type name") << QSet<F>() << u"boeing 737"_s << QStringList { u"e1"_s };
        QTest::newRow("registration") << QSet<F>() << u"n512"_s << QStringList { u"e1"_s };
        QTest::newRow("trimmed, any case") << QSet<F>() << u"  Rch4 "_s << QStringList { u"m1"_s };
        QTest::newRow("hex of a named aircraft") << QSet<F>() << u"abcdef"_s << QStringList();
        QTest::newRow("hex as the name") << QSet<F>() << u"MH"_s << QStringList { u"mh"_s };
        QTest::newRow("filter and search")
            << QSet<F> { F::emergency } << u"asa"_s << QStringList { u"e1"_s };
        QTest::newRow("filter and other search")
            << QSet<F> { F::emergency } << u"dal"_s << QStringList();
    }

    void displayed()
    {
        QFETCH(QSet<AircraftFilter>, filters);
        QFETCH(QString, search);
        QTEST(hexes(AircraftFilters::displayed(sky(), filters, search)), "expected");
    }

    // Case rules beyond ASCII, where upper- or lower-casing may change a text's length.
    void beyondAscii_data()
    {
        QTest::addColumn<QSet<AircraftFilter>>("filters");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        using F = AircraftFilter;
        QTest::newRow("accented callsign") << QSet<F>() << u"ÄBC"_s << QStringList { u"u1"_s };
        QTest::newRow("accented registration") << QSet<F>() << u"nö1"_s << QStringList { u"r1"_s };
        // The name is the hex upper-cased: "SSA", found by "ss" though the hex holds no "s".
        QTest::newRow("sharp s hex as the name")
            << QSet<F>() << u"ss"_s << QStringList { u"\u00dfa"_s };
        QTest::newRow("ASCII search, accented texts")
            << QSet<F>() << u"bc1"_s << QStringList { u"u1"_s };
        // "ßAB1" upper-cases to "SSAB1", whose fourth character is a letter.
        QTest::newRow("airliners")
            << QSet<F> { F::airliners } << QString() << QStringList { u"u1"_s, u"e1"_s };
    }

    void beyondAscii()
    {
        QFETCH(QSet<AircraftFilter>, filters);
        QFETCH(QString, search);
        AircraftDecoder decoder;
        const auto response = decoder.decodeResponse(R"({"ac":[
            {"hex":"u1","flight":"ÄBC123 "},
            {"hex":"r1","r":"NÖ12"},
            {"hex":"ßa"},
            {"hex":"s1","flight":"ßAB1"},
            {"hex":"e1","flight":"ÉAB1"}
        ]})"_ba);
        QVERIFY(response);
        QTEST(hexes(AircraftFilters::displayed(*response->ac, filters, search)), "expected");
    }

    void labels()
    {
        QSet<AircraftFilter> filters;
        QCOMPARE(AircraftFilters::label(filters), u"All Aircraft"_s);
        filters.insert(AircraftFilter::military);
        QCOMPARE(AircraftFilters::label(filters), u"Military"_s);
        filters.insert(AircraftFilter::lowAltitude);
        QCOMPARE(AircraftFilters::label(filters), u"2 Filters"_s);
        const QList<AircraftFilter> all = AircraftFilters::all();
        filters = QSet<AircraftFilter>(all.begin(), all.end());
        QCOMPARE(AircraftFilters::label(filters), u"6 Filters"_s);
    }

    void menu()
    {
        QStringList titles;
        QStringList raw;
        for (AircraftFilter f : AircraftFilters::all()) {
            titles << AircraftFilters::title(f);
            raw << AircraftFilters::rawValue(f);
            QVERIFY(!AircraftFilters::symbolName(f).isEmpty());
        }
        QCOMPARE(titles,
            QStringList({ u"Emergency"_s, u"Military"_s, u"Helicopters"_s, u"Airliners"_s,
                u"General Aviation"_s, u"Low Altitude (<2,000 ft)"_s }));
        QCOMPARE(raw.last(), u"lowAltitude"_s);
    }
};

QTEST_GUILESS_MAIN(TestFilters)
#include "tst_filters.moc"
