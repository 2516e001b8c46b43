// SPDX-License-Identifier: GPL-3.0-or-later
#include "churningfeed.h"

#include "flightstore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double homeLatitude = 45.5;
constexpr double homeLongitude = -122.6;
constexpr double pi = 3.141592653589793;

// A stable pseudo-random number per aircraft.
quint32 mix(qint64 id, quint32 salt)
{
    quint64 x = quint64(id) * 0x9e3779b97f4a7c15ull + salt;
    x ^= x >> 29;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 32;
    return quint32(x);
}

} // namespace

ChurningFeed::ChurningFeed(const QString &fixturePath, int count, int churn)
    : m_count(count)
    , m_churn(churn)
{
    QFile file(fixturePath);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(fixturePath));
    const QJsonArray samples =
        QJsonDocument::fromJson(file.readAll()).object().value(u"ac").toArray();
    for (const QJsonValue &sample : samples) {
        QJsonObject record = sample.toObject();
        for (const auto key : { "hex", "flight", "r", "lat", "lon", "dst", "dir", "track", "gs",
                 "alt_baro", "squawk", "seen_pos", "dbFlags" })
            record.remove(QLatin1StringView(key));
        const QByteArray text = QJsonDocument(record).toJson(QJsonDocument::Compact);
        m_tails.append(text.mid(1, text.size() - 2));
    }
}

QByteArray ChurningFeed::next()
{
    const qint64 first = qint64(m_poll) * m_churn;
    QByteArray answer;
    answer.reserve(m_count * 800);
    answer += "{\"ac\":[";
    for (int i = 0; i < m_count; ++i) {
        const qint64 id = first + i;
        // An aircraft arrives on the poll where it first enters the window.
        const int arrived = int(std::max<qint64>(0, (id - m_count) / m_churn + 1));
        if (i > 0)
            answer += ',';
        answer += record(id, m_poll - arrived);
    }
    answer += "],\"msg\":\"No error\",\"now\":1.7e12}";
    ++m_poll;
    return answer;
}

QByteArray ChurningFeed::record(qint64 id, int age) const
{
    const quint32 r = mix(id, 1);
    // Starts somewhere within 25 NM of home and flies a straight line, about 0.3 NM a poll.
    const double bearing = (r % 3600) / 10.0;
    const double startNM = 1.0 + (mix(id, 2) % 2400) / 100.0;
    const double track = (mix(id, 3) % 3600) / 10.0;
    const double stepNM = 0.3;
    const double northNM =
        startNM * std::cos(bearing * pi / 180.0) + age * stepNM * std::cos(track * pi / 180.0);
    const double eastNM =
        startNM * std::sin(bearing * pi / 180.0) + age * stepNM * std::sin(track * pi / 180.0);
    const double lat = homeLatitude + northNM / 60.0;
    const double lon = homeLongitude + eastNM / (60.0 * std::cos(homeLatitude * pi / 180.0));
    const double dst = std::hypot(northNM, eastNM);
    const double dir = std::fmod(std::atan2(eastNM, northNM) * 180.0 / pi + 360.0, 360.0);
    const int altitude = 500 + int(mix(id, 4) % 39000);
    const char *const airlines[] = { "ASA", "UAL", "SWA", "DAL", "QXE", "SKW" };
    const QByteArray squawk = id % 500 == 0
        ? QByteArray("7700")
        : QString::asprintf("%04o", mix(id, 5) % 4096).toLatin1();
    QByteArray text = QString::asprintf(
        "{\"hex\":\"%06llx\",\"flight\":\"%s%d \",\"r\":\"N%lldSK\","
        "\"lat\":%.6f,\"lon\":%.6f,\"dst\":%.3f,\"dir\":%.1f,"
        "\"track\":%.1f,\"gs\":%.1f,\"alt_baro\":%d,"
        "\"squawk\":\"%s\",\"seen_pos\":0.5,%s",
        static_cast<long long>(0x100000 + id), airlines[mix(id, 6) % 6], int(mix(id, 7) % 9000),
        static_cast<long long>(id % 100000), lat, lon, dst, dir, track, 120.0 + mix(id, 8) % 350,
        altitude, squawk.constData(), id % 40 == 0 ? "\"dbFlags\":1," : "")
                          .toLatin1();
    text += m_tails.at(int(id % m_tails.size()));
    text += '}';
    return text;
}

ChurningServer::ChurningServer(const QString &fixturePath, int count, int churn)
    : m_feed(fixturePath, count, churn)
{
    QObject::connect(&m_server, &TestServer::requestReceived, &m_server, [this] {
        // The test server logs every request; that log is the harness's, not the application's,
        // and would grow by one request a poll.
        m_server.clearRequests();
        TestServer::Reply reply;
        reply.body = m_feed.next();
        m_server.setPrefixReply(u"/v2/point/"_s, reply);
    });
}

Services ChurningServer::services() const
{
    return churningServices(baseUrl());
}

QUrl ChurningServer::baseUrl() const
{
    return m_server.baseUrl();
}

Services churningServices(const QUrl &baseUrl)
{
    QVariantMap overrides;
    overrides.insert(u"feedPrimary"_s, baseUrl.toString());
    overrides.insert(u"feedSecondary"_s, baseUrl.toString());
    return Services::withOverrides(overrides);
}

void stopOnPollError(FlightStore &store)
{
    QObject::connect(&store, &FlightStore::lastErrorChanged, &store, [&store] {
        if (!store.lastError().isEmpty())
            qFatal("poll failed: %s", qPrintable(store.lastError()));
    });
}
