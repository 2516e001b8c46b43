// SPDX-License-Identifier: GPL-3.0-or-later
#include "sampleaircraft.h"

#include "aircraftdecoder.h"

namespace {

std::optional<Aircraft> decode(const char *json)
{
    AircraftDecoder decoder;
    return decoder.decodeAircraft(QByteArray(json));
}

} // namespace

namespace SampleAircraft {

const std::optional<Aircraft> &preview()
{
    static const std::optional<Aircraft> aircraft =
        decode(R"({"hex":"abc123","flight":"ASA512","t":"B739","alt_baro":12000,"track":45})");
    return aircraft;
}

const std::optional<Aircraft> &normal()
{
    static const std::optional<Aircraft> aircraft =
        decode(R"({"hex":"sample1","flight":"ASA512","t":"B739","alt_baro":12000,"track":45})");
    return aircraft;
}

const std::optional<Aircraft> &emergency()
{
    static const std::optional<Aircraft> aircraft = decode(R"({"hex":"sample2","flight":"N123AB",)"
                                                           R"("t":"C172","alt_baro":3500,)"
                                                           R"("track":180,"squawk":"7700"})");
    return aircraft;
}

const std::optional<Aircraft> &military()
{
    static const std::optional<Aircraft> aircraft = decode(R"({"hex":"sample3","flight":"RCH440",)"
                                                           R"("t":"C17","alt_baro":18000,)"
                                                           R"("track":315,"dbFlags":1})");
    return aircraft;
}

} // namespace SampleAircraft
