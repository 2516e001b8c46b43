// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftdecoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <simdjson.h>
#include <string_view>

using namespace Qt::StringLiterals;
using simdjson::dom::element;
using simdjson::dom::element_type;

namespace {

// The record's keys in the order they are checked; the first bad one is the one reported.
enum Key {
    Hex,
    Flight,
    Squawk,
    Emergency,
    Category,
    Lat,
    Lon,
    Seen,
    Track,
    DbFlags,
    R,
    T,
    Desc,
    OwnOp,
    AltBaro,
    AltGeom,
    Gs,
    BaroRate,
    GeomRate,
    SeenPos,
    Dst,
    Dir,
    KeyCount
};

constexpr std::array<std::string_view, KeyCount> keyNames {
    "hex",
    "flight",
    "squawk",
    "emergency",
    "category",
    "lat",
    "lon",
    "seen",
    "track",
    "dbFlags",
    "r",
    "t",
    "desc",
    "ownOp",
    "alt_baro",
    "alt_geom",
    "gs",
    "baro_rate",
    "geom_rate",
    "seen_pos",
    "dst",
    "dir",
};

// Records carry about fifty keys of which we read twenty-two; a switch on the first letter
// keeps the lookup to one or two comparisons per key on this hot path.
int keyIndex(std::string_view key)
{
    if (key.empty())
        return -1;
    const auto is = [&](Key k) { return key == keyNames[k] ? int(k) : -1; };
    const auto either = [&](Key a, Key b) { return key == keyNames[a] ? int(a) : is(b); };
    switch (key[0]) {
    case 'a':
        return either(AltBaro, AltGeom);
    case 'b':
        return is(BaroRate);
    case 'c':
        return is(Category);
    case 'd':
        if (key.size() == 3)
            return either(Dst, Dir);
        return either(DbFlags, Desc);
    case 'e':
        return is(Emergency);
    case 'f':
        return is(Flight);
    case 'g':
        return either(Gs, GeomRate);
    case 'h':
        return is(Hex);
    case 'l':
        return either(Lat, Lon);
    case 'o':
        return is(OwnOp);
    case 'r':
        return is(R);
    case 's':
        if (key.size() == 4)
            return is(Seen);
        return either(Squawk, SeenPos);
    case 't':
        return either(T, Track);
    default:
        return -1;
    }
}

struct DecodeError {
    QString message;
};

QString keyText(Key key)
{
    return QString::fromLatin1(keyNames[key].data(), qsizetype(keyNames[key].size()));
}

class RecordReader {
public:
    explicit RecordReader(simdjson::dom::object object)
    {
        for (const auto field : object) {
            const int index = keyIndex(field.key);
            if (index >= 0)
                m_values[index] = field.value;
        }
    }

    bool has(Key key) const { return m_values[key].has_value(); }

    bool present(Key key) const
    {
        return m_values[key] && m_values[key]->type() != element_type::NULL_VALUE;
    }

    std::optional<QString> string(Key key) const
    {
        if (!present(key))
            return std::nullopt;
        std::string_view text;
        if (m_values[key]->get(text) != simdjson::SUCCESS)
            throw DecodeError { u"\"%1\" is not a string"_s.arg(keyText(key)) };
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }

    std::optional<double> number(Key key) const
    {
        if (!present(key))
            return std::nullopt;
        double value = 0;
        if (m_values[key]->get(value) != simdjson::SUCCESS)
            throw DecodeError { u"\"%1\" is not a number"_s.arg(keyText(key)) };
        return value;
    }

    std::optional<qint64> integer(Key key) const
    {
        if (!present(key))
            return std::nullopt;
        if (auto value = wholeNumber(*m_values[key]))
            return value;
        throw DecodeError { u"\"%1\" is not a whole number"_s.arg(keyText(key)) };
    }

    std::optional<Altitude> altitude(Key key) const
    {
        if (!present(key))
            return std::nullopt;
        // Anything but a whole number ("ground", a fraction, a boolean) means on the ground.
        if (auto feet = wholeNumber(*m_values[key]))
            return Altitude::feet(*feet);
        return Altitude::ground();
    }

    static std::optional<qint64> wholeNumber(const element &value)
    {
        switch (value.type()) {
        case element_type::INT64:
            return int64_t(value);
        case element_type::DOUBLE: {
            const double d = double(value);
            // 2^63 itself does not fit; the lower bound -2^63 does.
            if (std::isfinite(d) && d == std::trunc(d) && d >= -9223372036854775808.0
                && d < 9223372036854775808.0)
                return qint64(d);
            return std::nullopt;
        }
        default:
            // UINT64 is only used above the signed range.
            return std::nullopt;
        }
    }

private:
    std::array<std::optional<element>, KeyCount> m_values;
};

Aircraft decodeRecord(const element &value)
{
    simdjson::dom::object object;
    if (value.get(object) != simdjson::SUCCESS)
        throw DecodeError { u"record is not an object"_s };
    const RecordReader r(object);
    if (!r.has(Hex))
        throw DecodeError { u"\"hex\" is missing"_s };
    Aircraft a;
    const auto hex = r.string(Hex);
    if (!hex)
        throw DecodeError { u"\"hex\" is null"_s };
    a.hex = *hex;
    a.flight = r.string(Flight);
    a.squawk = r.string(Squawk);
    a.emergency = r.string(Emergency);
    a.category = r.string(Category);
    a.lat = r.number(Lat);
    a.lon = r.number(Lon);
    a.seen = r.number(Seen);
    a.track = r.number(Track);
    a.dbFlags = r.integer(DbFlags);
    a.registration = r.string(R);
    a.typeCode = r.string(T);
    a.typeDescription = r.string(Desc);
    a.operatorName = r.string(OwnOp);
    a.altBaro = r.altitude(AltBaro);
    a.altGeom = r.integer(AltGeom);
    a.groundSpeed = r.number(Gs);
    a.baroRate = r.integer(BaroRate);
    a.geomRate = r.integer(GeomRate);
    a.seenPos = r.number(SeenPos);
    a.distanceNM = r.number(Dst);
    a.directionDeg = r.number(Dir);
    return a.withinPhysicalRanges();
}

std::optional<QList<Aircraft>> decodeList(simdjson::dom::object envelope, std::string_view key)
{
    element value;
    if (envelope.at_key(key).get(value) != simdjson::SUCCESS || value.is_null())
        return std::nullopt;
    simdjson::dom::array array;
    if (value.get(array) != simdjson::SUCCESS)
        throw DecodeError { u"\"%1\" is not a list"_s.arg(QLatin1String(key)) };
    QList<Aircraft> list;
    list.reserve(qsizetype(array.size()));
    qsizetype index = 0;
    for (const element record : array) {
        try {
            list.append(decodeRecord(record));
        } catch (const DecodeError &e) {
            throw DecodeError { u"aircraft %1: %2"_s.arg(index + 1).arg(e.message) };
        }
        ++index;
    }
    return list;
}

QString parseErrorText(simdjson::error_code code)
{
    switch (code) {
    case simdjson::EMPTY:
        return u"the answer is empty"_s;
    case simdjson::UTF8_ERROR:
        return u"the answer is not valid UTF-8"_s;
    case simdjson::UNCLOSED_STRING:
    case simdjson::TAPE_ERROR:
    case simdjson::INCOMPLETE_ARRAY_OR_OBJECT:
        return u"the answer is not valid JSON (truncated or malformed)"_s;
    default:
        return u"the answer is not valid JSON (%1)"_s.arg(
            QString::fromUtf8(simdjson::error_message(code)));
    }
}

// The document parser refuses integers beyond 64 bits, though JSON allows them and a number
// field must take them as doubles. Written as decimals ("…616.0") they parse as doubles; an
// integer field then refuses them as it refuses any number it cannot hold. Strings are copied
// untouched. Only run after a failed parse, so the usual answer pays nothing.
QByteArray widenBigIntegers(const QByteArray &json)
{
    constexpr qsizetype maxDigits = 19; // 2^64 has 20
    QByteArray out;
    out.reserve(json.size() + 64);
    const char *p = json.constData();
    const char *const end = p + json.size();
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    while (p < end) {
        const char *start = p;
        if (*p == '"') {
            for (++p; p < end && *p != '"'; ++p) {
                if (*p == '\\' && p + 1 < end)
                    ++p;
            }
            p = std::min(p + 1, end);
            out.append(start, p - start);
        } else if (*p == '-' || isDigit(*p)) {
            if (*p == '-')
                ++p;
            const char *digits = p;
            while (p < end && isDigit(*p))
                ++p;
            const bool plainInteger = p == end || (*p != '.' && *p != 'e' && *p != 'E');
            out.append(start, p - start);
            if (plainInteger && p - digits > maxDigits)
                out.append(".0");
        } else {
            out.append(*p++);
        }
    }
    return out;
}

template<typename Decode>
auto decodeWith(simdjson::dom::parser &parser, const QByteArray &json, QString *error,
    Decode decode) -> std::optional<decltype(decode(element()))>
{
    element root;
    auto code = parser.parse(json.constData(), size_t(json.size())).get(root);
    if (code == simdjson::NUMBER_ERROR) {
        const QByteArray widened = widenBigIntegers(json);
        if (widened.size() != json.size())
            code = parser.parse(widened.constData(), size_t(widened.size())).get(root);
    }
    if (code != simdjson::SUCCESS) {
        if (error)
            *error = parseErrorText(code);
        return std::nullopt;
    }
    try {
        return decode(root);
    } catch (const DecodeError &e) {
        if (error)
            *error = e.message;
        return std::nullopt;
    }
}

} // namespace

AircraftDecoder::AircraftDecoder()
    : m_parser(std::make_unique<simdjson::dom::parser>())
{
}

AircraftDecoder::~AircraftDecoder() = default;

std::optional<APIResponse> AircraftDecoder::decodeResponse(const QByteArray &json, QString *error)
{
    return decodeWith(*m_parser, json, error, [](const element &root) {
        simdjson::dom::object envelope;
        if (root.get(envelope) != simdjson::SUCCESS)
            throw DecodeError { u"the answer is not a JSON object"_s };
        APIResponse response;
        response.ac = decodeList(envelope, "ac");
        response.aircraft = decodeList(envelope, "aircraft");
        return response;
    });
}

std::optional<Aircraft> AircraftDecoder::decodeAircraft(const QByteArray &json, QString *error)
{
    return decodeWith(*m_parser, json, error, decodeRecord);
}
