// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftdecoder.h"
#include "golden.h"
#include "photoapi.h"
#include "routeapi.h"

#include <QFile>
#include <QJsonArray>
#include <QtTest>

using namespace Qt::StringLiterals;

// Each decoder against whole answers: the input file beside its ".expected.json", compared as
// a whole so that a change anywhere in a record shows.
class TestGoldens : public QObject {
    Q_OBJECT

    static QString fixture(const QString &name)
    {
        return QStringLiteral(SKYVELLE_FIXTURES) + u'/' + name;
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void decoders_data()
    {
        QTest::addColumn<QString>("decoder");
        QTest::addColumn<QString>("input");
        QTest::newRow("realistic point answer") << u"feed"_s << u"aggregator-point.json"_s;
        QTest::newRow("feed edge cases") << u"feed"_s << u"golden/feed-edge-cases.json"_s;
        QTest::newRow("route with cities") << u"route"_s << u"golden/route-sdf-pdx.json"_s;
        QTest::newRow("route, ICAO codes only") << u"route"_s << u"golden/route-icao-only.json"_s;
        QTest::newRow("photo with credit") << u"photo"_s << u"golden/photo-full.json"_s;
        QTest::newRow("photo, bad link and blank credit")
            << u"photo"_s << u"golden/photo-no-credit.json"_s;
    }

    void decoders()
    {
        QFETCH(QString, decoder);
        QFETCH(QString, input);
        const QByteArray bytes = read(fixture(input));
        QVERIFY2(!bytes.isEmpty(), qPrintable(input));

        QJsonValue actual;
        if (decoder == "feed"_L1) {
            AircraftDecoder feed;
            QString error;
            const auto response = feed.decodeResponse(bytes, &error);
            QVERIFY2(response, qPrintable(error));
            QJsonArray list;
            for (const Aircraft &a :
                response->ac ? *response->ac : response->aircraft.value_or(QList<Aircraft>()))
                list.append(Golden::toJson(a));
            actual = list;
        } else if (decoder == "route"_L1) {
            const auto route = RouteAPI::decode(bytes);
            QVERIFY(route);
            actual = Golden::toJson(*route);
        } else {
            const auto photo = PhotoAPI::decode(bytes);
            QVERIFY(photo);
            actual = Golden::toJson(*photo);
        }

        QString expected = fixture(input);
        expected.replace(u".json"_s, u".expected.json"_s);
        const QString report = Golden::compare(actual, expected);
        QVERIFY2(report.isEmpty(), qPrintable(report));
    }
};

QTEST_GUILESS_MAIN(TestGoldens)
#include "tst_goldens.moc"
