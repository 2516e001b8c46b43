// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircrafttypes.h"
#include "airlines.h"

#include <QSet>
#include <QTest>

#include <latch>
#include <optional>
#include <thread>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace QTest {
template<>
char *toString(const std::optional<QString> &value)
{
    return value ? toString(*value) : qstrdup("(none)");
}
} // namespace QTest

namespace {

using Entries = QList<std::pair<QString, QString>>;

const std::optional<QString> none = std::nullopt;

} // namespace

class TestCatalogues : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Must stay first: it is the only test that sees the tables before they are built.
    void firstUseFromTwoThreads();

    void entriesAreWellFormed_data();
    void entriesAreWellFormed();
    void everyEntryIsFound();

    void typeNames_data();
    void typeNames();
    void typeLookup_data();
    void typeLookup();

    void airlineNames_data();
    void airlineNames();
    void isAirlineCallsign_data();
    void isAirlineCallsign();
    void airlineLookup_data();
    void airlineLookup();
};

void TestCatalogues::firstUseFromTwoThreads()
{
    std::latch start(2);
    std::optional<QString> type[2];
    std::optional<QString> airline[2];
    auto lookUp = [&](int i) {
        start.arrive_and_wait();
        type[i] = AircraftTypes::name(u"B739"_s);
        airline[i] = Airlines::name(u"UAL123"_s);
    };
    std::thread first(lookUp, 0);
    std::thread second(lookUp, 1);
    first.join();
    second.join();
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(type[i], u"Boeing 737-900"_s);
        QCOMPARE(airline[i], u"United Airlines"_s);
    }
}

void TestCatalogues::entriesAreWellFormed_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<qsizetype>("shortest");
    QTest::addColumn<qsizetype>("longest");
    QTest::addColumn<bool>("digitsAllowed");

    QTest::newRow("types") << AircraftTypes::entries() << qsizetype(272) << qsizetype(2)
                           << qsizetype(4) << true;
    QTest::newRow("airlines") << Airlines::entries() << qsizetype(91) << qsizetype(3)
                              << qsizetype(3) << false;
}

void TestCatalogues::entriesAreWellFormed()
{
    QFETCH(Entries, entries);
    QFETCH(qsizetype, count);
    QFETCH(qsizetype, shortest);
    QFETCH(qsizetype, longest);
    QFETCH(bool, digitsAllowed);

    QCOMPARE(entries.size(), count);
    QSet<QString> keys;
    for (const auto &[key, name] : entries) {
        QVERIFY2(key.size() >= shortest && key.size() <= longest, qPrintable(key));
        for (const QChar c : key) {
            const bool allowed = (c >= u'A' && c <= u'Z') || (digitsAllowed && c.isDigit());
            QVERIFY2(allowed, qPrintable(key));
        }
        QVERIFY2(!name.isEmpty() && name == name.trimmed(), qPrintable(key));
        keys.insert(key);
    }
    QCOMPARE(keys.size(), count);
}

// The hashed table must agree with the ordered list it was built from.
void TestCatalogues::everyEntryIsFound()
{
    for (const auto &[code, name] : AircraftTypes::entries())
        QCOMPARE(AircraftTypes::name(code.toLower()), name);
    for (const auto &[designator, name] : Airlines::entries())
        QCOMPARE(Airlines::name(designator.toLower() + u"1"_s), name);
}

void TestCatalogues::typeNames_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");

    const std::pair<const char *, QString> rows[] = {
        { "A19N", u"Airbus A319neo"_s },
        { "BCS1", u"Airbus A220-100"_s },
        { "B739", u"Boeing 737-900"_s },
        { "B38M", u"Boeing 737 MAX 8"_s },
        { "B77W", u"Boeing 777-300ER"_s },
        { "B78X", u"Boeing 787-10"_s },
        { "E170", u"Embraer E170"_s },
        { "E75L", u"Embraer E175"_s },
        { "E75S", u"Embraer E175"_s },
        { "E290", u"Embraer E190-E2"_s },
        { "CRJX", u"Bombardier CRJ1000"_s },
        { "DH8D", u"De Havilland Dash 8-400"_s },
        { "CL2T", u"Canadair CL-415"_s },
        { "SW4", u"Swearingen Metroliner"_s },
        { "C172", u"Cessna 172 Skyhawk"_s },
        { "C25A", u"Cessna Citation CJ2"_s },
        { "P28A", u"Piper Cherokee/Archer"_s },
        { "PA46", u"Piper Malibu/Mirage"_s },
        { "J3", u"Piper J-3 Cub"_s },
        { "RV10", u"Van's RV-10"_s },
        { "TBM9", u"TBM 900/930/960"_s },
        { "GLF6", u"Gulfstream G650"_s },
        { "HDJT", u"HondaJet"_s },
        { "AS50", u"Airbus H125 (AStar)"_s },
        { "EC45", u"Airbus H145"_s },
        { "B06", u"Bell 206 JetRanger"_s },
        { "H60", u"Sikorsky H-60 Black Hawk"_s },
        { "MD50", u"MD 500"_s },
        { "C17", u"Boeing C-17 Globemaster III"_s },
        { "K35R", u"Boeing KC-135 Stratotanker"_s },
        { "F18S", u"F/A-18 Super Hornet"_s },
        { "TEX2", u"T-6 Texan II"_s },
        { "V22", u"Bell-Boeing V-22 Osprey"_s },
        { "E3TF", u"Boeing E-3 Sentry"_s },
        { "GLID", u"Glider"_s },
        { "BALL", u"Balloon"_s },
        { "ULAC", u"Ultralight"_s },
        { "SIRA", u"Sonex"_s },
        { "COL3", u"Lancair Columbia 300"_s },
        { "COL4", u"Cessna Corvalis"_s },
        { "AN2", u"Antonov An-2"_s },
        { "A124", u"Antonov An-124"_s },
    };
    for (const auto &[code, name] : rows)
        QTest::newRow(code) << QString::fromLatin1(code) << name;
}

void TestCatalogues::typeNames()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QCOMPARE(AircraftTypes::name(code), name);
}

void TestCatalogues::typeLookup_data()
{
    QTest::addColumn<std::optional<QString>>("code");
    QTest::addColumn<std::optional<QString>>("name");

    const std::optional<QString> b739 = u"Boeing 737-900"_s;
    QTest::newRow("lower case") << std::optional(u"b739"_s) << b739;
    QTest::newRow("upper case") << std::optional(u"B739"_s) << b739;
    QTest::newRow("mixed case") << std::optional(u"e75l"_s) << std::optional(u"Embraer E175"_s);
    QTest::newRow("one character too many") << std::optional(u"B7399"_s) << none;
    QTest::newRow("prefix of a code") << std::optional(u"B73"_s) << none;
    QTest::newRow("empty") << std::optional(QString()) << none;
    QTest::newRow("missing") << none << none;
}

void TestCatalogues::typeLookup()
{
    QFETCH(std::optional<QString>, code);
    QFETCH(std::optional<QString>, name);
    QCOMPARE(AircraftTypes::name(code), name);
}

void TestCatalogues::airlineNames_data()
{
    QTest::addColumn<QString>("designator");
    QTest::addColumn<QString>("name");

    const std::pair<const char *, QString> rows[] = {
        { "AAL", u"American Airlines"_s },
        { "SWA", u"Southwest Airlines"_s },
        { "ASA", u"Alaska Airlines"_s },
        { "QXE", u"Horizon Air"_s },
        { "PSA", u"PSA Airlines"_s },
        { "JIA", u"PSA Airlines"_s },
        { "UCA", u"CommuteAir"_s },
        { "FDX", u"FedEx Express"_s },
        { "UPS", u"UPS Airlines"_s },
        { "GTI", u"Atlas Air"_s },
        { "EJA", u"NetJets"_s },
        { "LXJ", u"Flexjet"_s },
        { "JZA", u"Air Canada Jazz"_s },
        { "AMX", u"Aeroméxico"_s },
        { "KLM", u"KLM"_s },
        { "SAS", u"SAS"_s },
        { "LAN", u"LATAM"_s },
        { "TAM", u"LATAM Brasil"_s },
        { "GAF", u"German Air Force"_s },
        { "RCH", u"US Air Mobility Command"_s },
        { "CFC", u"Canadian Forces"_s },
    };
    for (const auto &[designator, name] : rows)
        QTest::newRow(designator) << QString::fromLatin1(designator) << name;
}

void TestCatalogues::airlineNames()
{
    QFETCH(QString, designator);
    QFETCH(QString, name);
    QCOMPARE(Airlines::name(designator + u"100"_s), name);
}

void TestCatalogues::isAirlineCallsign_data()
{
    QTest::addColumn<std::optional<QString>>("callsign");
    QTest::addColumn<bool>("airline");

    QTest::newRow("feed padding") << std::optional(u"UPS2914 "_s) << true;
    QTest::newRow("lower case") << std::optional(u"asa512"_s) << true;
    QTest::newRow("exactly four") << std::optional(u"DAL1"_s) << true;
    QTest::newRow("tabs and spaces") << std::optional(u" \tSKW5501\t "_s) << true;
    QTest::newRow("unknown designator") << std::optional(u"ABC123"_s) << true;
    QTest::newRow("non-ASCII letters") << std::optional(u"ÄÉØ12"_s) << true;
    QTest::newRow("non-ASCII lower case") << std::optional(u"äbc7"_s) << true;
    QTest::newRow("Arabic-Indic digit") << std::optional(u"ABC\u0661"_s) << true;
    QTest::newRow("letters after the digit") << std::optional(u"ABC1XYZ"_s) << true;
    QTest::newRow("registration") << std::optional(u"N757LY"_s) << false;
    QTest::newRow("designator alone") << std::optional(u"ASA"_s) << false;
    QTest::newRow("fourth a letter") << std::optional(u"ASAX12"_s) << false;
    QTest::newRow("two letters") << std::optional(u"AB123"_s) << false;
    QTest::newRow("space inside") << std::optional(u"ASA 12"_s) << false;
    QTest::newRow("padding counts for nothing") << std::optional(u"ASA "_s) << false;
    QTest::newRow("newline is not padding") << std::optional(u"\nUAL12"_s) << false;
    QTest::newRow("only padding") << std::optional(u" \t "_s) << false;
    QTest::newRow("empty") << std::optional(QString()) << false;
    QTest::newRow("missing") << none << false;
}

void TestCatalogues::isAirlineCallsign()
{
    QFETCH(std::optional<QString>, callsign);
    QFETCH(bool, airline);
    QCOMPARE(Airlines::isAirlineCallsign(callsign), airline);
}

void TestCatalogues::airlineLookup_data()
{
    QTest::addColumn<std::optional<QString>>("callsign");
    QTest::addColumn<std::optional<QString>>("name");

    QTest::newRow("military, spaces around")
        << std::optional(u"  rch440  "_s) << std::optional(u"US Air Mobility Command"_s);
    QTest::newRow("tabs around") << std::optional(u"\tdal1234\t"_s)
                                 << std::optional(u"Delta Air Lines"_s);
    QTest::newRow("second designator of one airline")
        << std::optional(u"JIA5123"_s) << std::optional(u"PSA Airlines"_s);
    QTest::newRow("no entry") << std::optional(u"ABC123"_s) << none;
    QTest::newRow("registration") << std::optional(u"N123AB"_s) << none;
    QTest::newRow("known designator alone") << std::optional(u"UAL"_s) << none;
    QTest::newRow("known designator, no number") << std::optional(u"UALX12"_s) << none;
    QTest::newRow("missing") << none << none;
}

void TestCatalogues::airlineLookup()
{
    QFETCH(std::optional<QString>, callsign);
    QFETCH(std::optional<QString>, name);
    QCOMPARE(Airlines::name(callsign), name);
}

QTEST_APPLESS_MAIN(TestCatalogues)
#include "tst_catalogues.moc"
