// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzentries.h"

#include "aircraftdecoder.h"
#include "geocoder.h"
#include "homelocation.h"
#include "jsonreference.h"
#include "photoapi.h"
#include "radargeometry.h"
#include "routeapi.h"
#include "sharedstate.h"
#include "sightinglog.h"
#include "widgettext.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void require(bool holds, const char *rule, const QString &shown = {})
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz invariant failed: %s %s\n", rule, qPrintable(shown));
    std::abort();
}

// Whether all of @p text matches @p pattern, a string literal (its address keys the cache of
// compiled expressions, which a fuzzer would otherwise spend most of its time building).
bool matches(const QString &text, const char *pattern)
{
    static QHash<const char *, QRegularExpression> compiled;
    auto it = compiled.find(pattern);
    if (it == compiled.end()) {
        it = compiled.insert(pattern,
            QRegularExpression(QRegularExpression::anchoredPattern(QString::fromUtf8(pattern))));
    }
    return it->match(text).hasMatch();
}

// Where every aircraft lands on a scope of 25 NM around a home on the globe: inside the scope,
// or nowhere.
void checkScope(const Aircraft &aircraft, const std::optional<HomeLocation> &home, double radiusNM)
{
    const RadarGeometry geometry { radiusNM, home };
    const auto position = geometry.polar(aircraft);
    if (!position)
        return;
    require(position->fraction >= 0 && position->fraction <= 1, "scope fraction within 0…1");
    require(position->bearingDeg >= 0 && position->bearingDeg < 360, "scope bearing within 0…360");
    const QRectF area(0, 0, 200, 100);
    const QPointF point = RadarGeometry::project(*position, area);
    require(std::isfinite(point.x()) && std::isfinite(point.y()), "scope point finite");
    require(area.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(point), "scope point inside");
}

// The texts the list, the card, the notifications and the widgets derive from one record.
void checkTexts(const Aircraft &a)
{
    static const QLocale english(QLocale::English);
    require(!a.displayName().isEmpty() || a.hex.isEmpty(), "a display name");
    require(matches(a.speedText(), "—|\\d{1,4} kt"), "speed text", a.speedText());
    require(matches(a.altitudeText(english), "—|On ground|-?[\\d,]{1,7} ft"), "altitude text",
        a.altitudeText(english));
    require(matches(a.shortAltitude(english), "—|GND|-?[\\d,]{1,6}ft|FL\\d{3,4}"), "short altitude",
        a.shortAltitude(english));
    if (const auto vertical = a.verticalText(english))
        require(matches(*vertical, "[↑↓] [\\d,]{2,7} ft/min"), "vertical text", *vertical);
    for (const QString &unit : { u"mi"_s, u"nm"_s, u"km"_s }) {
        if (const auto distance = a.distanceText(unit))
            require(matches(*distance, "\\d{1,5}\\.\\d (mi|nm|km)"), "distance text", *distance);
        if (const auto compact = a.distanceText(unit, true))
            require(
                matches(*compact, "\\d{1,5}\\.\\d(mi|nm|km)"), "compact distance text", *compact);
    }
    if (const auto look = a.lookDirection())
        require(matches(*look, "Look [NESW]{1,3}(, -?\\d{1,2}° up)?"), "look direction", *look);
    if (a.track)
        require(!Aircraft::compassPoint(*a.track).isEmpty(), "compass point");
    a.typeName();
    a.operatorDisplayName();
    a.isHelicopter();
    a.isEmergency();
    a.isMilitary();
    a.distanceMiles();
    checkScope(a, HomeLocation { 45.5, -122.6, u"Home"_s }, 25.0);
    checkScope(a, std::nullopt, 25.0);
}

} // namespace

namespace FuzzEntries {

void feed(const QByteArray &bytes)
{
    // One decoder for the run, as one poller keeps its parse buffers between answers.
    static AircraftDecoder decoder;
    QString error;
    const auto response = decoder.decodeResponse(bytes, &error);
    if (response) {
        for (const auto &list : { response->ac, response->aircraft }) {
            for (const Aircraft &aircraft : list.value_or(QList<Aircraft>()))
                checkTexts(aircraft);
        }
    } else {
        require(!error.isEmpty(), "a failed answer says why");
    }
    const bool malformed = !response
        && (error.startsWith("the answer is not valid"_L1) || error == "the answer is empty"_L1);
    require(malformed != JsonReference::accepts(bytes),
        "malformed exactly when simdjson's document parser says so", error);

    // The fuzzer's bytes have no room after them, so they were copied; the same bytes with
    // room to spare are read in place, to the same result.
    QByteArray roomy(bytes.constData(), bytes.size());
    roomy.reserve(bytes.size() + 64);
    QString inPlaceError;
    const auto inPlace = decoder.decodeResponse(roomy, &inPlaceError);
    require(inPlaceError == error, "read in place as when copied", inPlaceError);
    require(!response
            || (inPlace && response->ac == inPlace->ac && response->aircraft == inPlace->aircraft),
        "read in place as when copied");

    QString recordError;
    const auto aircraft = decoder.decodeAircraft(bytes, &recordError);
    if (aircraft)
        checkTexts(*aircraft);
    const bool recordMalformed = !aircraft
        && (recordError.startsWith("the answer is not valid"_L1)
            || recordError == "the answer is empty"_L1);
    require(
        recordMalformed == malformed, "a record malformed exactly when an answer is", recordError);
}

void route(const QByteArray &bytes)
{
    if (const auto route = RouteAPI::decode(bytes)) {
        require(!route->originCode.isEmpty() && !route->destinationCode.isEmpty(), "route codes");
        route->summary();
        route->citySummary();
    }
}

void photo(const QByteArray &bytes)
{
    if (const auto photo = PhotoAPI::decode(bytes)) {
        const QString scheme = photo->thumbnailURL.scheme();
        require(scheme == "http"_L1 || scheme == "https"_L1, "thumbnail is http(s)");
        if (photo->pageURL) {
            const QString pageScheme = photo->pageURL->scheme();
            require(pageScheme == "http"_L1 || pageScheme == "https"_L1, "page is http(s)");
        }
    }
}

void logbook(const QByteArray &bytes)
{
    const auto store = SightingLog::decode(bytes);
    if (!store)
        return;
    // What the log writes back it reads again, every count and name unchanged.
    const auto again = SightingLog::decode(SightingLog::encode(*store));
    require(again.has_value(), "logbook reads back");
    require(again->days == store->days && again->totalUnique == store->totalUnique
            && again->seenDayKey == store->seenDayKey && again->seenHexes == store->seenHexes
            && again->typesFirstSeen.keys() == store->typesFirstSeen.keys(),
        "logbook round trip");
    for (auto it = store->typesFirstSeen.cbegin(); it != store->typesFirstSeen.cend(); ++it) {
        const qint64 drift = it->msecsTo(again->typesFirstSeen.value(it.key()));
        require(std::abs(drift) <= 1, "type dates round trip within a millisecond");
    }
}

void widgetConfig(const QByteArray &bytes)
{
    const auto config = SharedState::decode(bytes);
    if (!config)
        return;
    require(SharedState::isValidRadius(config->radiusNM), "radius on the globe");
    require(HomeLocation::isValidCoordinate(config->home.latitude, config->home.longitude),
        "home on the globe");
    require(matches(WidgetText::radiusFigure(config->radiusNM), "\\d{1,5}"), "radius caption",
        WidgetText::radiusFigure(config->radiusNM));
    // The sample sky drawn on this config's scope.
    Aircraft near;
    near.hex = u"abc123"_s;
    near.lat = config->home.latitude;
    near.lon = config->home.longitude;
    checkScope(near, config->home, config->radiusNM);
    near.distanceNM = 3.2;
    near.directionDeg = 310.0;
    checkScope(near, config->home, config->radiusNM);
}

void homeLocation(const QByteArray &bytes)
{
    const auto home = HomeLocation::fromJsonBytes(bytes);
    if (!home)
        return;
    require(HomeLocation::isValidCoordinate(home->latitude, home->longitude), "home on the globe");
    const auto written = home->toJsonBytes();
    require(written.has_value(), "home writes");
    require(HomeLocation::fromJsonBytes(*written) == home, "home round trip");
}

void geocoder(const QByteArray &bytes)
{
    const Geocoder::Answer answer = Geocoder::decode(bytes);
    if (answer.outcome != Geocoder::Answer::Outcome::Match)
        return;
    const Geocoder::Place &place = answer.place;
    require(HomeLocation::isValidCoordinate(place.latitude, place.longitude), "place on the globe");
    require(!place.homeLabel().isEmpty(), "a home label");
}

QList<Target> targets()
{
    return {
        { u"feed"_s, feed },
        { u"route"_s, route },
        { u"photo"_s, photo },
        { u"logbook"_s, logbook },
        { u"widgetconfig"_s, widgetConfig },
        { u"homelocation"_s, homeLocation },
        { u"geocoder"_s, geocoder },
    };
}

} // namespace FuzzEntries
