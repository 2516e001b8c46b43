// SPDX-License-Identifier: GPL-3.0-or-later
#include "skyentry.h"

#include "aircraftdecoder.h"

using namespace Qt::StringLiterals;

namespace {

// Written the way the feed writes it, so the preview goes through the same decoder as live data.
constexpr char sampleAircraftJson[] = R"([
 {"hex":"a1b2c3","flight":"ASA512  ","r":"N512AS","t":"B739","alt_baro":12500,"gs":320,
  "track":45,"lat":45.60,"lon":-122.70,"dst":3.2,"dir":310,"seen_pos":1},
 {"hex":"a2c4e6","flight":"N757LY  ","r":"N757LY","t":"C152","alt_baro":1500,"gs":95,
  "track":180,"lat":45.55,"lon":-122.60,"dst":6.8,"dir":80,"seen_pos":1},
 {"hex":"a3d5f7","flight":"QXE201  ","r":"N201QX","t":"E75L","alt_baro":8200,"gs":270,
  "track":270,"lat":45.40,"lon":-122.75,"dst":10.4,"dir":195,"seen_pos":1},
 {"hex":"a4e6a8","flight":"UPS2914 ","r":"N354UP","t":"B763","alt_baro":24000,"gs":450,
  "track":135,"lat":45.70,"lon":-122.40,"dst":15.1,"dir":48,"seen_pos":1},
 {"hex":"ae01ce","flight":"RCH440  ","r":"","t":"C17","alt_baro":18000,"gs":380,
  "track":10,"lat":45.30,"lon":-122.55,"dst":18.9,"dir":170,"dbFlags":1,"seen_pos":1}
])";

QList<Aircraft> decodeSampleAircraft()
{
    AircraftDecoder decoder;
    const auto response =
        decoder.decodeResponse(R"({"ac":)" + QByteArray(sampleAircraftJson) + '}');
    return response && response->ac ? *response->ac : QList<Aircraft>();
}

std::optional<QUrl> validAircraftLink(const Aircraft &aircraft)
{
    QUrl url(u"skyvelle://aircraft/"_s + aircraft.hex, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

const QUrl &openLink()
{
    static const QUrl url(u"skyvelle://open"_s);
    return url;
}

} // namespace

ScopePalette SkyEntry::palette() const
{
    return ScopePalette::fromAccent(accentHex);
}

bool SkyEntry::needsSetup() const
{
    return !home && !isSample;
}

SkyEntry sampleEntry(const std::optional<QString> &accentHex, const QDateTime &date)
{
    static const QList<Aircraft> aircraft = decodeSampleAircraft();
    return SkyEntry { date, aircraft, 25.0, HomeLocation { 45.5, -122.6, u"Home"_s }, true, u"mi"_s,
        accentHex };
}

QUrl aircraftLink(const Aircraft &aircraft)
{
    return validAircraftLink(aircraft).value_or(openLink());
}

QUrl deepLink(const SkyEntry &entry)
{
    if (entry.aircraft.isEmpty() || entry.isSample)
        return openLink();
    return validAircraftLink(entry.aircraft.first()).value_or(QUrl());
}
