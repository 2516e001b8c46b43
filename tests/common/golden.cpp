// SPDX-License-Identifier: GPL-3.0-or-later
#include "golden.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace {

template<typename T>
void put(QJsonObject &object, const QString &key, const std::optional<T> &value)
{
    if (!value)
        return;
    if constexpr (std::is_same_v<T, QUrl>)
        object.insert(key, value->toString());
    else if constexpr (std::is_same_v<T, qint64>)
        // Text, so that integers beyond 2^53 keep every digit.
        object.insert(key, QString::number(*value));
    else
        object.insert(key, *value);
}

QByteArray indented(const QJsonValue &value)
{
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented);
    return QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented);
}

} // namespace

namespace Golden {

QJsonObject toJson(const Aircraft &a)
{
    QJsonObject o { { u"hex"_s, a.hex } };
    put(o, u"flight"_s, a.flight);
    put(o, u"registration"_s, a.registration);
    put(o, u"typeCode"_s, a.typeCode);
    put(o, u"typeDescription"_s, a.typeDescription);
    put(o, u"operatorName"_s, a.operatorName);
    if (a.altBaro)
        o.insert(u"altBaro"_s,
            a.altBaro->isGround() ? u"ground"_s : QString::number(*a.altBaro->feetValue()));
    put(o, u"altGeom"_s, a.altGeom);
    put(o, u"groundSpeed"_s, a.groundSpeed);
    put(o, u"track"_s, a.track);
    put(o, u"baroRate"_s, a.baroRate);
    put(o, u"geomRate"_s, a.geomRate);
    put(o, u"squawk"_s, a.squawk);
    put(o, u"emergency"_s, a.emergency);
    put(o, u"category"_s, a.category);
    put(o, u"lat"_s, a.lat);
    put(o, u"lon"_s, a.lon);
    put(o, u"seen"_s, a.seen);
    put(o, u"seenPos"_s, a.seenPos);
    put(o, u"dbFlags"_s, a.dbFlags);
    put(o, u"distanceNM"_s, a.distanceNM);
    put(o, u"directionDeg"_s, a.directionDeg);
    return o;
}

QJsonObject toJson(const FlightRoute &route)
{
    QJsonObject o { { u"originCode"_s, route.originCode },
        { u"destinationCode"_s, route.destinationCode } };
    put(o, u"originCity"_s, route.originCity);
    put(o, u"destinationCity"_s, route.destinationCity);
    return o;
}

QJsonObject toJson(const PlanePhoto &photo)
{
    QJsonObject o { { u"thumbnailURL"_s, photo.thumbnailURL.toString() } };
    put(o, u"pageURL"_s, photo.pageURL);
    put(o, u"photographer"_s, photo.photographer);
    return o;
}

QString compare(const QJsonValue &actual, const QString &expectedPath)
{
    const QByteArray actualText = indented(actual);
    QFile file(expectedPath);
    if (qEnvironmentVariableIntValue("SKYVELLE_UPDATE_GOLDEN") == 1) {
        if (!file.open(QIODevice::WriteOnly) || file.write(actualText) != actualText.size())
            return u"could not write "_s + expectedPath;
        return {};
    }
    if (!file.open(QIODevice::ReadOnly))
        return u"no golden file "_s + expectedPath + u" (run with SKYVELLE_UPDATE_GOLDEN=1)"_s;
    const QByteArray expectedBytes = file.readAll();
    const QJsonDocument expected = QJsonDocument::fromJson(expectedBytes);
    const QJsonValue expectedValue =
        expected.isArray() ? QJsonValue(expected.array()) : QJsonValue(expected.object());
    if (expectedValue == actual)
        return {};

    // Line by line, so the report shows the records that changed rather than two blobs.
    const QList<QByteArray> want = indented(expectedValue).split('\n');
    const QList<QByteArray> got = actualText.split('\n');
    QString report = u"differs from "_s + expectedPath + u":\n"_s;
    int shown = 0;
    for (qsizetype i = 0; i < std::max(want.size(), got.size()) && shown < 20; ++i) {
        const QByteArray w = want.value(i);
        const QByteArray g = got.value(i);
        if (w == g)
            continue;
        report += u"  line %1\n  - %2\n  + %3\n"_s.arg(i + 1).arg(
            QString::fromUtf8(w), QString::fromUtf8(g));
        ++shown;
    }
    return report;
}

} // namespace Golden
