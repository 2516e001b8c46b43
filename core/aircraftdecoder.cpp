// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftdecoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <simdjson.h>
#include <string>
#include <string_view>
#include <unordered_map>

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

// Whether @p key is @p name. The length is a constant, so the comparison compiles to a few
// instructions rather than a call to memcmp: it runs for each of the fifty keys of every record.
template<size_t N>
bool is(std::string_view key, const char (&name)[N])
{
    return key.size() == N - 1 && std::memcmp(key.data(), name, N - 1) == 0;
}

// Records carry about fifty keys of which we read twenty-two; a switch on the length and then
// the first letter keeps the lookup to one or two fixed-size comparisons per key.
int keyIndex(std::string_view key)
{
    const auto either = [&](bool a, Key ka, bool b, Key kb) {
        return a ? int(ka) : b ? int(kb) : -1;
    };
    switch (key.size()) {
    case 1:
        return key[0] == 'r' ? R : key[0] == 't' ? T : -1;
    case 2:
        return is(key, "gs") ? Gs : -1;
    case 3:
        switch (key[0]) {
        case 'h':
            return is(key, "hex") ? Hex : -1;
        case 'l':
            return either(is(key, "lat"), Lat, is(key, "lon"), Lon);
        case 'd':
            return either(is(key, "dst"), Dst, is(key, "dir"), Dir);
        default:
            return -1;
        }
    case 4:
        return either(is(key, "seen"), Seen, is(key, "desc"), Desc);
    case 5:
        return either(is(key, "track"), Track, is(key, "ownOp"), OwnOp);
    case 6:
        return either(is(key, "flight"), Flight, is(key, "squawk"), Squawk);
    case 7:
        return is(key, "dbFlags") ? DbFlags : -1;
    case 8:
        switch (key[0]) {
        case 'c':
            return is(key, "category") ? Category : -1;
        case 'a':
            return either(is(key, "alt_baro"), AltBaro, is(key, "alt_geom"), AltGeom);
        case 's':
            return is(key, "seen_pos") ? SeenPos : -1;
        default:
            return -1;
        }
    case 9:
        switch (key[0]) {
        case 'e':
            return is(key, "emergency") ? Emergency : -1;
        case 'b':
            return is(key, "baro_rate") ? BaroRate : -1;
        case 'g':
            return is(key, "geom_rate") ? GeomRate : -1;
        default:
            return -1;
        }
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

} // namespace

// Types, descriptions, operators, categories and emergency words repeat from record to record
// and from answer to answer, so each is converted to a QString once and shared after that.
// Texts that no aircraft holds any more are dropped now and then. Only these few hundred
// texts: a table of every hex, callsign and registration measured slower than building them,
// since it no longer fits the processor's cache beside the parsed answer.
class AircraftDecoder::TextCache {
public:
    QString text(std::string_view utf8)
    {
        auto found = m_texts.find(utf8);
        if (found == m_texts.end())
            found = m_texts
                        .emplace(std::string(utf8),
                            QString::fromUtf8(utf8.data(), qsizetype(utf8.size())))
                        .first;
        return found->second;
    }

    // Drops the texts held by nothing but the cache once it has doubled since the last time.
    void prune()
    {
        if (qsizetype(m_texts.size()) <= m_pruneAbove)
            return;
        std::erase_if(m_texts, [](const auto &entry) { return entry.second.isDetached(); });
        m_pruneAbove = std::max(minimumSize, 2 * qsizetype(m_texts.size()));
    }

private:
    // Looks texts up by the parser's string_view, without making a std::string of it.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const
        {
            return std::hash<std::string_view>()(text);
        }
    };

    static constexpr qsizetype minimumSize = 1024;
    std::unordered_map<std::string, QString, Hash, std::equal_to<>> m_texts;
    qsizetype m_pruneAbove = minimumSize;
};

namespace {

class RecordReader {
public:
    RecordReader(simdjson::dom::object object, AircraftDecoder::TextCache &texts)
        : m_texts(texts)
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

    // A text each aircraft has its own of: hex, callsign, registration, squawk.
    std::optional<QString> string(Key key) const
    {
        if (const auto text = stringView(key))
            return QString::fromUtf8(text->data(), qsizetype(text->size()));
        return std::nullopt;
    }

    // A text many aircraft share.
    std::optional<QString> sharedString(Key key) const
    {
        const auto text = stringView(key);
        if (!text)
            return std::nullopt;
        // An empty text needs no buffer of its own.
        if (text->empty())
            return QString::fromUtf8(text->data(), 0);
        return m_texts.text(*text);
    }

    std::optional<std::string_view> stringView(Key key) const
    {
        if (!present(key))
            return std::nullopt;
        std::string_view text;
        if (m_values[key]->get(text) != simdjson::SUCCESS)
            throw DecodeError { u"\"%1\" is not a string"_s.arg(keyText(key)) };
        return text;
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
    AircraftDecoder::TextCache &m_texts;
};

// Fills @p a, a default aircraft, from one record.
void decodeRecord(const element &value, AircraftDecoder::TextCache &texts, Aircraft &a)
{
    simdjson::dom::object object;
    if (value.get(object) != simdjson::SUCCESS)
        throw DecodeError { u"record is not an object"_s };
    const RecordReader r(object, texts);
    if (!r.has(Hex))
        throw DecodeError { u"\"hex\" is missing"_s };
    const auto hex = r.string(Hex);
    if (!hex)
        throw DecodeError { u"\"hex\" is null"_s };
    a.hex = *hex;
    a.flight = r.string(Flight);
    a.squawk = r.string(Squawk);
    a.emergency = r.sharedString(Emergency);
    a.category = r.sharedString(Category);
    a.lat = r.number(Lat);
    a.lon = r.number(Lon);
    a.seen = r.number(Seen);
    a.track = r.number(Track);
    a.dbFlags = r.integer(DbFlags);
    a.registration = r.string(R);
    a.typeCode = r.sharedString(T);
    a.typeDescription = r.sharedString(Desc);
    a.operatorName = r.sharedString(OwnOp);
    a.altBaro = r.altitude(AltBaro);
    a.altGeom = r.integer(AltGeom);
    a.groundSpeed = r.number(Gs);
    a.baroRate = r.integer(BaroRate);
    a.geomRate = r.integer(GeomRate);
    a.seenPos = r.number(SeenPos);
    a.distanceNM = r.number(Dst);
    a.directionDeg = r.number(Dir);
    a.keepWithinPhysicalRanges();
}

std::optional<QList<Aircraft>> decodeList(
    simdjson::dom::object envelope, std::string_view key, AircraftDecoder::TextCache &texts)
{
    element value;
    if (envelope.at_key(key).get(value) != simdjson::SUCCESS || value.is_null())
        return std::nullopt;
    simdjson::dom::array array;
    if (value.get(array) != simdjson::SUCCESS)
        throw DecodeError { u"\"%1\" is not a list"_s.arg(QLatin1String(key)) };
    // Each record is decoded in its place in the list: nothing is copied or moved after.
    QList<Aircraft> list(qsizetype(array.size()));
    Aircraft *const records = list.data();
    qsizetype index = 0;
    for (const element record : array) {
        try {
            decodeRecord(record, texts, records[index]);
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
    , m_texts(std::make_unique<TextCache>())
{
}

AircraftDecoder::~AircraftDecoder() = default;

std::optional<APIResponse> AircraftDecoder::decodeResponse(const QByteArray &json, QString *error)
{
    auto response = decodeWith(*m_parser, json, error, [this](const element &root) {
        simdjson::dom::object envelope;
        if (root.get(envelope) != simdjson::SUCCESS)
            throw DecodeError { u"the answer is not a JSON object"_s };
        APIResponse response;
        response.ac = decodeList(envelope, "ac", *m_texts);
        response.aircraft = decodeList(envelope, "aircraft", *m_texts);
        return response;
    });
    m_texts->prune();
    return response;
}

std::optional<Aircraft> AircraftDecoder::decodeAircraft(const QByteArray &json, QString *error)
{
    auto aircraft = decodeWith(*m_parser, json, error, [this](const element &root) {
        Aircraft a;
        decodeRecord(root, *m_texts, a);
        return a;
    });
    m_texts->prune();
    return aircraft;
}
