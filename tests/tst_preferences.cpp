// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferences.h"
#include "services.h"

#include <QMetaEnum>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

class TestPreferences : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(u"Skyvelle.conf"_s); }

    // Writes raw values the way a hand-edited file would hold them.
    void writeRaw(const QString &key, const QVariant &value)
    {
        QSettings raw(path(), QSettings::IniFormat);
        raw.setValue(key, value);
    }

    QByteArray fileBytes() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A value of the property's type that differs from @p current.
    static QVariant changed(const QMetaProperty &property, const QVariant &current)
    {
        if (property.isEnumType()) {
            QVariant next((current.toInt() + 1) % property.enumerator().keyCount());
            next.convert(current.metaType());
            return next;
        }
        switch (property.typeId()) {
        case QMetaType::Bool:
            return !current.toBool();
        case QMetaType::Double:
            return current.toDouble() + 0.5;
        case QMetaType::QByteArray:
            return "{\"x\":1}"_ba;
        default:
            return u"changed"_s;
        }
    }

private Q_SLOTS:
    void init() { QFile::remove(path()); }

    void freshDefaults()
    {
        Preferences p(path());
        QCOMPARE(p.appearanceChoice(), Preferences::AppearanceChoice::Automatic);
        QCOMPARE(p.distanceUnit(), Preferences::DistanceUnit::Miles);
        QCOMPARE(p.distanceUnitText(), u"mi"_s);
        QCOMPARE(p.planeColorHex(), u"#FF8A00"_s);
        QCOMPARE(p.markerScale(), 1.0);
        QCOMPARE(p.mapStyleChoice(), Preferences::MapStyle::Standard);
        QCOMPARE(p.colorByAltitude(), false);
        QCOMPARE(p.showTrails(), true);
        QCOMPARE(p.trailMinutes(), 1.0);
        QCOMPARE(p.trailWidth(), 2.0);
        QCOMPARE(p.widgetColorHex(), u"#73FF99"_s);
        QCOMPARE(p.textScale(), 1.0);
        QCOMPARE(p.alertsEnabled(), false);
        QCOMPARE(p.alertEmergency(), true);
        QCOMPARE(p.alertWatchlist(), QString());
        QCOMPARE(p.alertRangeMiles(), 0.0);
        QCOMPARE(p.flyoverMissMiles(), 0.75);
        QCOMPARE(p.radiusNM(), 25.0);
        QCOMPARE(p.atcVolume(), 0.8);
        QCOMPARE(p.trailPointLimit(), 12);
        QVERIFY(p.homeLocation().isEmpty());
        QVERIFY(p.atcFavorites().isEmpty());
        // Nothing is registered or written just by reading.
        QVERIFY(!QFile::exists(path()));
    }

    void wrongTypesReadAsFallbacks_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("reads");
        QTest::newRow("bool from junk")
            << u"showTrails"_s << QVariant(u"maybe"_s) << QVariant(true);
        QTest::newRow("bool false") << u"showTrails"_s << QVariant(false) << QVariant(false);
        QTest::newRow("emergency absent is on")
            << u"alertEmergency"_s << QVariant() << QVariant(true);
        QTest::newRow("emergency junk")
            << u"alertEmergency"_s << QVariant(u"1x"_s) << QVariant(true);
        QTest::newRow("double from text")
            << u"markerScale"_s << QVariant(u"big"_s) << QVariant(1.0);
        QTest::newRow("double as text") << u"markerScale"_s << QVariant(u"1.3"_s) << QVariant(1.3);
        QTest::newRow("volume junk") << u"atcVolume"_s << QVariant(u"loud"_s) << QVariant(0.8);
        QTest::newRow("volume") << u"atcVolume"_s << QVariant(0.25) << QVariant(0.25);
        QTest::newRow("range junk") << u"alertRangeMiles"_s << QVariant(u"far"_s) << QVariant(0.0);
        QTest::newRow("miss junk") << u"flyoverMissMiles"_s << QVariant(u"x"_s) << QVariant(0.75);
        QTest::newRow("radius zero") << u"radiusNM"_s << QVariant(0) << QVariant(25.0);
        QTest::newRow("radius negative") << u"radiusNM"_s << QVariant(-5) << QVariant(25.0);
        QTest::newRow("radius") << u"radiusNM"_s << QVariant(60) << QVariant(60.0);
        QTest::newRow("string from list")
            << u"alertWatchlist"_s << QVariant(QStringList { u"a"_s, u"b"_s })
            << QVariant(QString());
    }

    void wrongTypesReadAsFallbacks()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, reads);
        if (stored.isValid())
            writeRaw(key, stored);
        Preferences p(path());
        const QVariant value = p.property(key.toLatin1().constData());
        QCOMPARE(value, reads);
    }

    void trailPointLimit_data()
    {
        QTest::addColumn<QVariant>("minutes");
        QTest::addColumn<int>("points");
        QTest::newRow("unset") << QVariant() << 12;
        QTest::newRow("0.5") << QVariant(0.5) << 6;
        QTest::newRow("2") << QVariant(2.0) << 24;
        QTest::newRow("5") << QVariant(5.0) << 60;
        QTest::newRow("0") << QVariant(0.0) << 6;
        QTest::newRow("text") << QVariant(u"long"_s) << 12;
        QTest::newRow("huge") << QVariant(1e300) << 100000;
    }

    void trailPointLimit()
    {
        QFETCH(QVariant, minutes);
        if (minutes.isValid())
            writeRaw(u"trailMinutes"_s, minutes);
        QTEST(Preferences(path()).trailPointLimit(), "points");
    }

    void eachSetterEmitsOnlyItsOwnSignal()
    {
        Preferences p(path());
        const QMetaObject *meta = p.metaObject();
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            QVERIFY2(meta->property(i).hasNotifySignal(), meta->property(i).name());
            spies.push_back(std::make_unique<QSignalSpy>(&p, meta->property(i).notifySignal()));
        }
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            const QVariant value = changed(property, property.read(&p));
            for (int twice = 0; twice < 2; ++twice) {
                QVERIFY(property.write(&p, value));
                QCOMPARE(property.read(&p), value);
                // Its own signal once, and writing the same value again is not a change.
                for (int j = meta->propertyOffset(); j < meta->propertyCount(); ++j) {
                    const int expected = j == i ? 1 : 0;
                    QVERIFY2(spies.at(j - meta->propertyOffset())->size() == expected,
                        qPrintable(u"writing %1 signalled %2"_s.arg(QLatin1String(property.name()),
                            QLatin1String(meta->property(j).name()))));
                }
            }
            spies.at(i - meta->propertyOffset())->clear();
        }
    }

    void valuesSurviveARestart()
    {
        {
            Preferences p(path());
            p.setTrailWidth(3.5);
            p.setColorByAltitude(true);
            p.setAlertWatchlist(u"N123AB, ual1"_s);
            p.setHomeLocation(R"({"latitude":45.5,"longitude":-122.6,"label":"Home"})"_ba);
        }
        Preferences p(path());
        QCOMPARE(p.trailWidth(), 3.5);
        QCOMPARE(p.colorByAltitude(), true);
        QCOMPARE(p.alertWatchlist(), u"N123AB, ual1"_s);
        QCOMPARE(p.homeLocation(), R"({"latitude":45.5,"longitude":-122.6,"label":"Home"})"_ba);

        QSignalSpy removed(&p, &Preferences::homeLocationChanged);
        p.removeHomeLocation();
        p.removeHomeLocation();
        QCOMPARE(removed.size(), 1);
        QVERIFY(p.homeLocation().isEmpty());
    }

    void resetToDefaults()
    {
        Preferences p(path());
        p.setPlaneColorHex(u"#FFFFFF"_s);
        p.setMarkerScale(1.3);
        p.setMapStyleChoice(Preferences::MapStyle::Hybrid);
        p.setWidgetColorHex(u"#FFBF00"_s);
        p.setColorByAltitude(true);
        p.setShowTrails(false);
        p.setTrailMinutes(5.0);
        p.setTrailWidth(3.5);
        p.setDistanceUnit(Preferences::DistanceUnit::Kilometers);
        p.setTextScale(1.2);
        p.setAppearanceChoice(Preferences::AppearanceChoice::Dark);
        p.setAlertsEnabled(true);
        p.setRadiusNM(80);

        QSignalSpy widgetColor(&p, &Preferences::widgetColorHexChanged);
        QSignalSpy unit(&p, &Preferences::distanceUnitChanged);
        p.resetToDefaults();
        QCOMPARE(p.planeColorHex(), u"#FF8A00"_s);
        QCOMPARE(p.markerScale(), 1.0);
        QCOMPARE(p.mapStyleChoice(), Preferences::MapStyle::Standard);
        QCOMPARE(p.widgetColorHex(), u"#73FF99"_s);
        QCOMPARE(p.colorByAltitude(), false);
        QCOMPARE(p.showTrails(), true);
        QCOMPARE(p.trailMinutes(), 1.0);
        QCOMPARE(p.trailWidth(), 2.0);
        QCOMPARE(widgetColor.size(), 1);
        QCOMPARE(unit.size(), 0);
        QCOMPARE(p.distanceUnit(), Preferences::DistanceUnit::Kilometers);
        QCOMPARE(p.textScale(), 1.2);
        QCOMPARE(p.appearanceChoice(), Preferences::AppearanceChoice::Dark);
        QCOMPARE(p.alertsEnabled(), true);
        QCOMPARE(p.radiusNM(), 80.0);
    }

    void resetRestoresEachDefault_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("customised");
        QTest::addColumn<QString>("stored"); // the file's text after the reset
        QTest::newRow("planeColorHex")
            << u"planeColorHex"_s << QVariant(u"#FFFFFF"_s) << u"#FF8A00"_s;
        QTest::newRow("markerScale") << u"markerScale"_s << QVariant(1.3) << u"1"_s;
        QTest::newRow("mapStyleChoice")
            << u"mapStyleChoice"_s << QVariant::fromValue(Preferences::MapStyle::Hybrid)
            << u"standard"_s;
        QTest::newRow("widgetColorHex")
            << u"widgetColorHex"_s << QVariant(u"#FFBF00"_s) << u"#73FF99"_s;
        QTest::newRow("colorByAltitude") << u"colorByAltitude"_s << QVariant(true) << u"false"_s;
        QTest::newRow("showTrails") << u"showTrails"_s << QVariant(false) << u"true"_s;
        QTest::newRow("trailMinutes") << u"trailMinutes"_s << QVariant(5.0) << u"1"_s;
        QTest::newRow("trailWidth") << u"trailWidth"_s << QVariant(3.5) << u"2"_s;
    }

    void resetRestoresEachDefault()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, customised);
        QFETCH(QString, stored);
        const QByteArray name = key.toLatin1();
        {
            Preferences p(path());
            const QVariant absent = p.property(name);
            QVERIFY(p.setProperty(name, customised));
            QCOMPARE(p.property(name), customised);
            p.resetToDefaults();
            QCOMPARE(p.property(name), absent);
        }
        QVERIFY2(
            fileBytes().contains(name + '=' + stored.toLatin1() + '\n'), fileBytes().constData());
        QCOMPARE(Preferences(path()).property(name),
            Preferences(m_dir.filePath(u"empty.conf"_s)).property(name));
    }

    void choicesKeepTheirStoredText_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("choice");
        using A = Preferences::AppearanceChoice;
        using D = Preferences::DistanceUnit;
        using M = Preferences::MapStyle;
        const auto row = [](const QString &key, const QString &text, const QVariant &choice) {
            QTest::addRow("%s=%s", qPrintable(key), qPrintable(text)) << key << text << choice;
        };
        row(u"appearanceChoice"_s, u"auto"_s, QVariant::fromValue(A::Automatic));
        row(u"appearanceChoice"_s, u"light"_s, QVariant::fromValue(A::Light));
        row(u"appearanceChoice"_s, u"dark"_s, QVariant::fromValue(A::Dark));
        row(u"distanceUnit"_s, u"mi"_s, QVariant::fromValue(D::Miles));
        row(u"distanceUnit"_s, u"nm"_s, QVariant::fromValue(D::NauticalMiles));
        row(u"distanceUnit"_s, u"km"_s, QVariant::fromValue(D::Kilometers));
        row(u"mapStyleChoice"_s, u"standard"_s, QVariant::fromValue(M::Standard));
        row(u"mapStyleChoice"_s, u"muted"_s, QVariant::fromValue(M::Muted));
        row(u"mapStyleChoice"_s, u"imagery"_s, QVariant::fromValue(M::Imagery));
        row(u"mapStyleChoice"_s, u"hybrid"_s, QVariant::fromValue(M::Hybrid));
    }

    void choicesKeepTheirStoredText()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(QVariant, choice);
        const QByteArray name = key.toLatin1();
        const QByteArray line = name + '=' + text.toLatin1() + '\n';
        writeRaw(key, text);
        QVERIFY(fileBytes().contains(line));

        Preferences p(path());
        QCOMPARE(p.property(name), choice);
        if (key == "distanceUnit"_L1)
            QCOMPARE(p.distanceUnitText(), text);
        // Away through the setter and back: the same text as before.
        const QMetaProperty property =
            p.metaObject()->property(p.metaObject()->indexOfProperty(name));
        QVERIFY(property.write(&p, changed(property, choice)));
        p.sync();
        QVERIFY(!fileBytes().contains(line));
        QVERIFY(property.write(&p, choice));
        p.sync();
        QVERIFY2(fileBytes().contains(line), fileBytes().constData());
    }

    void unknownChoiceReadsAsFallback_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("reads");
        const QVariant automatic = QVariant::fromValue(Preferences::AppearanceChoice::Automatic);
        const QVariant miles = QVariant::fromValue(Preferences::DistanceUnit::Miles);
        const QVariant standard = QVariant::fromValue(Preferences::MapStyle::Standard);
        QTest::newRow("appearance unknown")
            << u"appearanceChoice"_s << QVariant(u"sepia"_s) << automatic;
        QTest::newRow("appearance in capitals")
            << u"appearanceChoice"_s << QVariant(u"Dark"_s) << automatic;
        QTest::newRow("unit in words") << u"distanceUnit"_s << QVariant(u"kilometers"_s) << miles;
        QTest::newRow("unit with a space") << u"distanceUnit"_s << QVariant(u" km"_s) << miles;
        QTest::newRow("unit empty") << u"distanceUnit"_s << QVariant(u""_s) << miles;
        QTest::newRow("unit as a number") << u"distanceUnit"_s << QVariant(2) << miles;
        QTest::newRow("style unknown") << u"mapStyleChoice"_s << QVariant(u"terrain"_s) << standard;
        QTest::newRow("style in capitals")
            << u"mapStyleChoice"_s << QVariant(u"Hybrid"_s) << standard;
        QTest::newRow("style as a list")
            << u"mapStyleChoice"_s << QVariant(QStringList { u"hybrid"_s, u"muted"_s }) << standard;
    }

    void unknownChoiceReadsAsFallback()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        writeRaw(key, stored);
        const QByteArray before = fileBytes();
        {
            Preferences p(path());
            QTEST(p.property(key.toLatin1()), "reads");
        }
        // Reading leaves the hand-edited text as it was.
        QCOMPARE(fileBytes(), before);
    }

    void serviceOverrides()
    {
        {
            QSettings raw(path(), QSettings::IniFormat);
            raw.beginGroup(u"services"_s);
            raw.setValue(u"feedPrimary"_s, u"http://127.0.0.1:8080/"_s);
            raw.setValue(u"feedPrimaryName"_s, u"My receiver"_s);
            raw.setValue(u"feedSecondary"_s, u"not a url"_s);
            raw.setValue(u"contact"_s, u"ops@example.org"_s);
            raw.setValue(u"bogus"_s, u"ignored"_s);
        }
        const Services s = Services::withOverrides(Preferences(path()).serviceOverrides());
        QCOMPARE(s.feedPrimary, QUrl(u"http://127.0.0.1:8080"_s));
        QCOMPARE(s.feedPrimaryName, u"My receiver"_s);
        QCOMPARE(s.feedSecondary, Services::defaults().feedSecondary);
        QCOMPARE(s.feedSecondaryName, u"adsb.fi"_s);
        QCOMPARE(s.userAgentWithContact(),
            "Skyvelle/" SKYVELLE_VERSION " (+https://skyvelle.app; ops@example.org)"_ba);
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
