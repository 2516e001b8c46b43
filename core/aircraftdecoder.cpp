// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftdecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <simdjson.h>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace Qt::StringLiterals;
namespace ondemand = simdjson::ondemand;
using simdjson::error_code;

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

// A record of the wrong shape; thrown only once the record has been read to its end.
struct DecodeError {
    QString message;
};

// Malformed JSON, named by the error simdjson's document parser gives for it.
struct SyntaxError {
    error_code code;
};

[[noreturn]] void refuse(error_code code)
{
    throw SyntaxError { code };
}

void check(error_code code)
{
    if (code != simdjson::SUCCESS) [[unlikely]]
        refuse(code);
}

QString keyText(Key key)
{
    return QString::fromLatin1(keyNames[key].data(), qsizetype(keyNames[key].size()));
}

// The document parser's limit: 1023 arrays and objects that hold something, inside one
// another (an empty one it takes for a value, and allows one deeper).
constexpr int maxDepth = int(simdjson::DEFAULT_MAX_DEPTH) - 1;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether @p token, which runs to the next structural character, is the literal @p word.
bool isLiteral(std::string_view token, std::string_view word)
{
    return token.starts_with(word) && (token.size() == word.size() || isSpace(token[word.size()]));
}

// The end of @p token without the white space before the next structural character.
const char *trimmedEnd(std::string_view token)
{
    const char *end = token.data() + token.size();
    while (isSpace(end[-1]))
        --end;
    return end;
}

constexpr uint64_t lowBits = 0x0101010101010101;

// Eight bytes from @p p, byte i in bits 8i to 8i + 7. Reading past a token is always safe: a
// token is followed by something else, at worst the padding after the input.
uint64_t loadWord(const char *p)
{
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// Which of the sixteen bytes from @p text are digits, and which points: bit i for byte i.
struct NumberBytes {
    uint32_t digits;
    uint32_t points;
};

NumberBytes classify(const char *text)
{
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text));
    const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    const __m128i digits = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(9)), offset);
    const __m128i points = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'));
    return { uint32_t(_mm_movemask_epi8(digits)), uint32_t(_mm_movemask_epi8(points)) };
#else
    constexpr uint64_t highBits = 0x8080808080808080;
    // The high bit of each byte that is a digit (at least '0', not above '9'), or equal to
    // @p c; no carry crosses a byte.
    const auto digitBytes = [](uint64_t word) {
        const uint64_t x = word & ~highBits;
        return (x + lowBits * (0x80 - '0')) & ~(x + lowBits * (0x80 - '9' - 1)) & ~word & highBits;
    };
    const auto equal = [](uint64_t word, char c) {
        const uint64_t x = word ^ (lowBits * uint8_t(c));
        return ~(((x & ~highBits) + ~highBits) | x) & highBits;
    };
    // Each byte's high bit, gathered into the top byte by one multiplication: the other
    // products land below it without a carry, or above the word.
    const auto gather = [](uint64_t high) {
        return uint32_t(((high >> 7) * 0x0102040810204080) >> 56);
    };
    const uint64_t low = loadWord(text);
    const uint64_t high = loadWord(text + 8);
    return { gather(digitBytes(low)) | gather(digitBytes(high)) << 8,
        gather(equal(low, '.')) | gather(equal(high, '.')) << 8 };
#endif
}

// Whether the @p size bytes at @p text, at most sixteen and classified in @p bytes, are a valid
// number without an exponent, as nearly all are written: digits throughout but for a leading
// minus and at most one point, a digit first and last, and no leading zero before another
// digit. All the bytes are tested at once, with no branch on them.
Q_ALWAYS_INLINE bool isPlainNumber(const char *text, size_t size, NumberBytes bytes)
{
    const uint32_t within = (uint32_t(1) << size) - 1;
    const uint32_t digits = bytes.digits & within;
    const uint32_t points = bytes.points & within;
    const uint32_t sign = text[0] == '-';
    const bool leadingZero = (text[sign] == '0') & bool(digits >> (sign + 1) & 1);
    return ((digits | points | sign) == within) & bool(digits >> sign & 1)
        & bool(digits >> (size - 1) & 1) & ((points & (points - 1)) == 0) & !leadingZero;
}

// The value of the @p count digits at @p text, one to eight, converted together: padded with
// leading zeros to eight, then combined in pairs, fours and eights by three multiplications,
// with no branch on them.
uint32_t eightDigits(const char *text, size_t count)
{
    constexpr uint64_t zeros = lowBits * '0';
    const uint64_t digits = loadWord(text) << (8 * (8 - count));
    const uint64_t padding = (zeros >> (4 * count)) >> (4 * count);
    uint64_t value = (digits | padding) - zeros;
    value = value * 10 + (value >> 8);
    value = ((value & 0x000000ff000000ff) * (100 + (uint64_t(1000000) << 32))
                + ((value >> 16) & 0x000000ff000000ff) * (1 + (uint64_t(10000) << 32)))
        >> 32;
    return uint32_t(value);
}

// A JSON number as written, its grammar checked and its digits gathered.
class Number {
public:
    // False when @p token is no valid number.
    bool read(std::string_view token)
    {
        const char *p = token.data();
        m_end = trimmedEnd(token);
        m_begin = p;
        m_negative = p < m_end && *p == '-';
        p += m_negative;
        const char *const digits = p;
        while (p < m_end && isDigit(*p))
            m_mantissa = 10 * m_mantissa + uint64_t(*p++ - '0');
        m_intDigits = int(p - digits);
        if (m_intDigits == 0 || (*digits == '0' && m_intDigits > 1))
            return false;
        m_firstDigit = digits;
        if (p < m_end && *p == '.') {
            const char *const fraction = ++p;
            while (p < m_end && isDigit(*p))
                ++p;
            if (p == fraction)
                return false;
            m_integral = false;
        }
        if (p < m_end && (*p == 'e' || *p == 'E')) {
            ++p;
            const bool negative = p < m_end && *p == '-';
            p += p < m_end && (*p == '-' || *p == '+');
            const char *const exponent = p;
            int64_t value = 0;
            // Saturated far beyond any finite double's exponent.
            for (; p < m_end && isDigit(*p); ++p)
                value = std::min<int64_t>(10 * value + (*p - '0'), 1'000'000'000);
            if (p == exponent)
                return false;
            m_exponent = negative ? -value : value;
            m_integral = false;
        }
        return p == m_end;
    }

    // Whether it is written with neither a fraction nor an exponent.
    bool isIntegral() const { return m_integral; }

    // The integer written, when it is one that fits 64 bits.
    std::optional<qint64> integer() const
    {
        if (!m_integral || m_intDigits > 19)
            return std::nullopt;
        constexpr uint64_t limit = uint64_t(std::numeric_limits<qint64>::max());
        if (m_mantissa > limit + m_negative)
            return std::nullopt;
        return m_negative ? qint64(0 - m_mantissa) : qint64(m_mantissa);
    }

    // The nearest double, as the document parser reads it; absent when that is infinite.
    std::optional<double> toDouble() const
    {
        double value = 0;
        const auto [end, error] = std::from_chars(m_begin, m_end, value);
        if (error == std::errc())
            return value;
        // Out of range: too small reads as zero, too large is refused.
        if (magnitude() < 0)
            return m_negative ? -0.0 : 0.0;
        return std::nullopt;
    }

    // Whether the number reads as a finite double, without computing it when it plainly does.
    bool isFinite() const
    {
        if (m_exponent == 0 && m_intDigits <= 300)
            return true;
        return toDouble().has_value();
    }

private:
    // The power of ten of the first significant digit, for a number that is not zero.
    int64_t magnitude() const
    {
        int64_t power = m_intDigits - 1;
        for (const char *p = m_firstDigit; p < m_end && (*p == '0' || *p == '.'); ++p)
            power -= *p == '0';
        return power + m_exponent;
    }

    const char *m_begin = nullptr;
    const char *m_end = nullptr;
    const char *m_firstDigit = nullptr;
    uint64_t m_mantissa = 0;
    int64_t m_exponent = 0;
    int m_intDigits = 0;
    bool m_negative = false;
    bool m_integral = true;
};

// A number checked in full, by the JSON grammar and as a finite double.
Q_NEVER_INLINE void checkLongNumber(std::string_view token)
{
    Number number;
    if (!number.read(token) || !number.isFinite())
        refuse(simdjson::NUMBER_ERROR);
}

// A number token, however long. Most are a few digits, which the first test passes; white
// space after a number fails both quick tests, and the full reading allows it.
Q_ALWAYS_INLINE void checkNumber(std::string_view token)
{
    if (token.size() <= 16) [[likely]] {
        const NumberBytes bytes = classify(token.data());
        const uint32_t within = (uint32_t(1) << token.size()) - 1;
        if ((bytes.digits & within) == within && (token[0] != '0' || token.size() == 1))
            return;
        if (isPlainNumber(token.data(), token.size(), bytes))
            return;
    }
    checkLongNumber(token);
}

// A literal or a number, checked as the document parser checks it: literals spelled out in
// full, numbers by the JSON grammar and finite.
void checkAtom(std::string_view token)
{
    switch (token[0]) {
    case 't':
        if (!isLiteral(token, "true"))
            refuse(simdjson::T_ATOM_ERROR);
        return;
    case 'f':
        if (!isLiteral(token, "false"))
            refuse(simdjson::F_ATOM_ERROR);
        return;
    case 'n':
        if (!isLiteral(token, "null"))
            refuse(simdjson::N_ATOM_ERROR);
        return;
    default:
        if (token[0] != '-' && !isDigit(token[0]))
            refuse(simdjson::TAPE_ERROR);
        checkNumber(token);
    }
}

// Squawks are four octal digits, nearly always: all 4096 are static literals, so a record's
// copy needs neither an allocation nor a reference count.
constexpr auto squawkTexts = [] {
    std::array<char16_t, 4096 * 4> texts {};
    for (size_t code = 0; code < 4096; ++code) {
        for (size_t digit = 0; digit < 4; ++digit)
            texts[4 * code + digit] = char16_t(u'0' + ((code >> (9 - 3 * digit)) & 7));
    }
    return texts;
}();

std::optional<QString> squawkText(std::string_view utf8)
{
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    if (utf8.size() != 4 || !std::all_of(utf8.begin(), utf8.end(), isOctal))
        return std::nullopt;
    const size_t code = size_t(utf8[0] - '0') << 9 | size_t(utf8[1] - '0') << 6
        | size_t(utf8[2] - '0') << 3 | size_t(utf8[3] - '0');
    return QString::fromRawData(reinterpret_cast<const QChar *>(&squawkTexts[4 * code]), 4);
}

// Trailing content after the root value.
void checkAtEnd(ondemand::document &document)
{
    if (document.current_location().error() != simdjson::OUT_OF_BOUNDS)
        refuse(simdjson::TAPE_ERROR);
}

// Where the backslashes are, found as the strings are read in document order, so that a
// string with none (nearly all) needs neither a scan of its own nor unescaping: stage 1 has
// already checked that every string is closed and holds valid UTF-8 and no control characters.
class Escapes {
public:
    Escapes(const char *begin, const char *end)
        : m_end(end)
        , m_next(find(begin))
    {
    }

    // Whether [begin, end) holds a backslash; @p begin never goes back.
    bool within(const char *begin, const char *end)
    {
        if (m_next < begin)
            m_next = find(begin);
        return m_next < end;
    }

private:
    const char *find(const char *from) const
    {
        const void *found = std::memchr(from, '\\', size_t(m_end - from));
        return found ? static_cast<const char *>(found) : m_end;
    }

    const char *m_end;
    const char *m_next;
};

} // namespace

// Types, descriptions, operators, categories and emergency words repeat from record to record
// and from answer to answer, so each is converted to a QString once and shared after that.
// Texts that no aircraft holds any more are dropped now and then. Only these few hundred
// texts: a table of every hex, callsign and registration measured slower than building them,
// since it no longer fits the processor's cache beside the parsed answer.
class AircraftDecoder::TextCache {
public:
    // The text of @p utf8, which lies in a parser's padded buffer: words are read past its end.
    QString text(std::string_view utf8)
    {
        const uint64_t hash = hashOf(utf8);
        size_t slot = size_t(hash) & (m_entries.size() - 1);
        for (;; slot = (slot + 1) & (m_entries.size() - 1)) {
            const Entry &entry = m_entries[slot];
            if (entry.hash == hash && entry.key == utf8)
                return entry.text;
            if (entry.hash == 0)
                break;
        }
        const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        m_entries[slot] = Entry { hash, std::string(utf8), text };
        if (++m_count * 2 > m_entries.size())
            rebuild(m_entries.size() * 2);
        return text;
    }

    // Drops the texts held by nothing but the cache once it has doubled since the last time.
    void prune()
    {
        if (m_count <= m_pruneAbove)
            return;
        rebuild(m_entries.size());
        m_pruneAbove = std::max(minimumSize, 2 * m_count);
    }

private:
    struct Entry {
        uint64_t hash = 0; // never 0 for a text: marks a free slot
        std::string key;
        QString text;
    };

    // From the length and the first and last eight bytes: cheap, and telling apart the types,
    // descriptions and operators well enough for the probing to sort out the rest.
    static uint64_t hashOf(std::string_view utf8)
    {
        const size_t size = utf8.size();
        uint64_t first = loadWord(utf8.data());
        if (size < 8)
            first &= (uint64_t(1) << (8 * size)) - 1;
        const uint64_t last = size > 8 ? loadWord(utf8.data() + size - 8) : 0;
        uint64_t hash = (first * 0xff51afd7ed558ccd) ^ (last * 0xc4ceb9fe1a85ec53) ^ size;
        hash ^= hash >> 32;
        return hash | 1;
    }

    // Moves the texts some aircraft still holds into a table of @p size slots.
    void rebuild(size_t size)
    {
        std::vector<Entry> old(size);
        old.swap(m_entries);
        m_count = 0;
        for (Entry &entry : old) {
            if (entry.hash == 0 || entry.text.isDetached())
                continue;
            size_t slot = size_t(entry.hash) & (size - 1);
            while (m_entries[slot].hash != 0)
                slot = (slot + 1) & (size - 1);
            m_entries[slot] = std::move(entry);
            ++m_count;
        }
    }

    static constexpr size_t minimumSize = 1024;
    // Open addressing: the slot a hash picks, or the next free one after it.
    std::vector<Entry> m_entries = std::vector<Entry>(2 * minimumSize);
    size_t m_count = 0;
    size_t m_pruneAbove = minimumSize;
};

// simdjson's on-demand parser indexes the whole answer (and checks its UTF-8) at once, then
// leaves the values to whoever walks it: we decode the keys we know, and check the rest
// ourselves, which costs far less than building the document parser's tape of every value.
class AircraftDecoder::Parser {
public:
    // The answer with the padding the parser reads past its end: in place when the array has
    // that much room to spare (Qt keeps a '\0' right after the data, so nothing there reads
    // as JSON), else copied into a buffer kept between answers.
    simdjson::padded_string_view input(const QByteArray &json)
    {
        constexpr size_t padding = simdjson::SIMDJSON_PADDING;
        const size_t size = size_t(json.size());
        // capacity() also counts any room before the data; the array's own pointer knows
        // what is left after it. A shallow copy reaches it, as Qt 6.4 has no const accessor.
        QByteArray shared = json;
        if (shared.data_ptr().freeSpaceAtEnd() >= qsizetype(padding))
            return simdjson::padded_string_view(json.constData(), size, size + padding);
        if (m_capacity < size + padding) {
            // A little more than asked, so that a slowly growing answer does not reallocate
            // every time.
            m_capacity = size + size / 8 + padding;
            m_buffer = std::make_unique_for_overwrite<char[]>(m_capacity);
        }
        std::memcpy(m_buffer.get(), json.constData(), size);
        std::memset(m_buffer.get() + size, 0, padding);
        return simdjson::padded_string_view(m_buffer.get(), size, m_capacity);
    }

    ondemand::parser parser;
    // Records in the last list read: the next answer's list reserves as many and an eighth
    // more, so that they are decoded in their places without the list growing under them.
    qsizetype lastCount = 0;

private:
    std::unique_ptr<char[]> m_buffer;
    size_t m_capacity = 0;
};

namespace {

// Walks one parsed answer: decodes the records' known keys into aircraft, and checks all the
// rest as the document parser would. @p depth arguments count the arrays and objects a value
// is inside of, itself included, against the parser's limit.
class Reader {
    enum OwnText { OwnHex, OwnFlight, OwnRegistration, OwnTextCount };

public:
    Reader(AircraftDecoder::TextCache &texts, simdjson::padded_string_view input)
        : m_texts(texts)
        , m_escapes(input.data(), input.data() + input.length())
    {
    }

    // A value we do not decode, read through to its end.
    void checkValue(ondemand::value &value, std::string_view token, int depth)
    {
        if (token[0] == '-' || isDigit(token[0]))
            checkNumber(token);
        else if (token[0] == '"')
            string(value, token);
        else
            checkOtherValue(value, token, depth);
    }

    // An array, an object, a literal, or no value at all.
    Q_NEVER_INLINE void checkOtherValue(ondemand::value &value, std::string_view token, int depth)
    {
        if (token[0] != '{' && token[0] != '[')
            return checkAtom(token);
        // An empty one, as many are, is left for the parser to step over: the token after it
        // (where this one ends) closes it.
        if (token.data()[token.size()] == (token[0] == '[' ? ']' : '}'))
            return;
        if (depth > maxDepth)
            refuse(simdjson::DEPTH_ERROR);
        if (token[0] == '{') {
            ondemand::object object;
            check(value.get_object().get(object));
            checkFields(object, depth);
        } else {
            ondemand::array array;
            check(value.get_array().get(array));
            checkElements(array, depth);
        }
    }

    void checkFields(ondemand::object &object, int depth)
    {
        for (auto field : object) {
            check(field.error());
            ondemand::value &value = field.value_unsafe().value();
            const std::string_view token = value.raw_json_token();
            key(field.value_unsafe(), token);
            checkValue(value, token, depth + 1);
        }
    }

    void checkElements(ondemand::array &array, int depth)
    {
        for (auto element : array) {
            check(element.error());
            ondemand::value &value = element.value_unsafe();
            checkValue(value, value.raw_json_token(), depth + 1);
        }
    }

    // The key of @p field, whose value @p token has not been read yet.
    std::string_view key(ondemand::field &field, std::string_view token)
    {
        const char *begin = field.key().raw();
        // The key's closing quote is the last one before the colon ahead of the value.
        const char *end = token.data() - 1;
        while (*end != ':')
            --end;
        --end;
        while (*end != '"')
            --end;
        if (!m_escapes.within(begin, end))
            return { begin, size_t(end - begin) };
        std::string_view key;
        check(field.unescaped_key().get(key));
        return key;
    }

    // A string value, whose @p token starts with its quote and ends with the other. The value
    // is left for the parser to step over, which takes a string before a colon for a key and
    // steps over what follows as if in an object: so a colon there, never right after a
    // value, is refused first.
    std::string_view string(ondemand::value &value, std::string_view token)
    {
        if (token.data()[token.size()] == ':') [[unlikely]]
            refuse(simdjson::TAPE_ERROR);
        const char *begin = token.data() + 1;
        const char *end = trimmedEnd(token) - 1;
        if (!m_escapes.within(begin, end)) [[likely]]
            return { begin, size_t(end - begin) };
        return unescaped(value);
    }

    Q_NEVER_INLINE static std::string_view unescaped(ondemand::value &value)
    {
        std::string_view text;
        check(value.get_string().get(text));
        return text;
    }

    // Fills @p a, a default aircraft, from one record. Each known key is decoded as it comes,
    // so that of a repeated key the last wins; a wrong type is only noted, and reported once
    // the record has been read through, the first in key order.
    void readRecord(ondemand::object &object, int depth, Aircraft &a)
    {
        uint32_t seen = 0;
        uint32_t wrong = 0;
        bool hexIsNull = false;
        m_ownTexts = {};
        for (auto field : object) {
            check(field.error());
            ondemand::value &value = field.value_unsafe().value();
            const std::string_view token = value.raw_json_token();
            const int index = keyIndex(key(field.value_unsafe(), token));
            if (index < 0) {
                checkValue(value, token, depth + 1);
                continue;
            }
            const uint32_t bit = uint32_t(1) << index;
            seen |= bit;
            if (index == Hex)
                hexIsNull = token[0] == 'n';
            if (readField(Key(index), value, token, depth + 1, a))
                wrong &= ~bit;
            else
                wrong |= bit;
        }
        if (!(seen & (uint32_t(1) << Hex)))
            throw DecodeError { u"\"hex\" is missing"_s };
        if (hexIsNull)
            throw DecodeError { u"\"hex\" is null"_s };
        if (wrong) {
            const Key key = Key(std::countr_zero(wrong));
            const QString kind = isInteger(key) ? u"a whole number"_s
                : isNumber(key)                 ? u"a number"_s
                                                : u"a string"_s;
            throw DecodeError { u"\"%1\" is not %2"_s.arg(keyText(key), kind) };
        }
        fillOwnTexts(a);
        a.keepWithinPhysicalRanges();
    }

private:
    static bool isInteger(Key key)
    {
        return key == DbFlags || key == AltGeom || key == BaroRate || key == GeomRate;
    }

    static bool isNumber(Key key)
    {
        return key == Lat || key == Lon || key == Seen || key == Track || key == Gs
            || key == SeenPos || key == Dst || key == Dir;
    }

    // Decodes one known key; false when its value has the wrong type (and is checked anyway).
    bool readField(Key key, ondemand::value &value, std::string_view token, int depth, Aircraft &a)
    {
        switch (key) {
        case Hex: {
            std::optional<QString> hex;
            return ownText(OwnHex, value, token, depth, hex);
        }
        case Flight:
            return ownText(OwnFlight, value, token, depth, a.flight);
        case Squawk:
            return squawk(value, token, depth, a.squawk);
        case R:
            return ownText(OwnRegistration, value, token, depth, a.registration);
        case Emergency:
            return sharedText(value, token, depth, a.emergency);
        case Category:
            return sharedText(value, token, depth, a.category);
        case T:
            return sharedText(value, token, depth, a.typeCode);
        case Desc:
            return sharedText(value, token, depth, a.typeDescription);
        case OwnOp:
            return sharedText(value, token, depth, a.operatorName);
        case Lat:
            return number(value, token, depth, a.lat);
        case Lon:
            return number(value, token, depth, a.lon);
        case Seen:
            return number(value, token, depth, a.seen);
        case Track:
            return number(value, token, depth, a.track);
        case Gs:
            return number(value, token, depth, a.groundSpeed);
        case SeenPos:
            return number(value, token, depth, a.seenPos);
        case Dst:
            return number(value, token, depth, a.distanceNM);
        case Dir:
            return number(value, token, depth, a.directionDeg);
        case DbFlags:
            return integer(value, token, depth, a.dbFlags);
        case AltGeom:
            return integer(value, token, depth, a.altGeom);
        case BaroRate:
            return integer(value, token, depth, a.baroRate);
        case GeomRate:
            return integer(value, token, depth, a.geomRate);
        case AltBaro:
            return altitude(value, token, depth, a.altBaro);
        case KeyCount:
            break;
        }
        return true;
    }

    // Null, which leaves the field absent; true when @p token is it.
    template<typename T>
    static bool null(std::string_view token, std::optional<T> &field)
    {
        if (token[0] != 'n')
            return false;
        if (!isLiteral(token, "null"))
            refuse(simdjson::N_ATOM_ERROR);
        field.reset();
        return true;
    }

    static bool isNumberToken(std::string_view token)
    {
        return token[0] == '-' || isDigit(token[0]);
    }

    // Settles a value that needs no decoding: null leaves the field absent (true), one of
    // another type than @p expected is read through and reported (false). Nothing when it is of
    // the expected type, for the caller to decode.
    template<typename T>
    std::optional<bool> settled(ondemand::value &value, std::string_view token, int depth,
        bool expected, std::optional<T> &field)
    {
        if (null(token, field))
            return true;
        if (expected)
            return std::nullopt;
        checkValue(value, token, depth);
        return false;
    }

    // Hex, callsign or registration: noted, and made a text with the others once the record is
    // read (fillOwnTexts). A later null or text of the same key replaces it.
    bool ownText(OwnText which, ondemand::value &value, std::string_view token, int depth,
        std::optional<QString> &field)
    {
        m_ownTexts[which] = {};
        if (const auto done = settled(value, token, depth, token[0] == '"', field))
            return *done;
        m_ownTexts[which] = string(value, token);
        return true;
    }

    // The texts each aircraft has its own of (hex, callsign, registration) share one buffer,
    // allocated once per record rather than once per text: those allocations and frees were
    // the largest cost left. Each text holds a reference to the buffer, which goes with the
    // last of them; one that is changed is first copied, as any shared text is. Each is
    // followed by a '\0', as every QString's data is. A text beyond ASCII, rare here, is
    // converted into a buffer of its own.
    void fillOwnTexts(Aircraft &a) const
    {
        std::array<bool, OwnTextCount> ascii {};
        qsizetype units = 0;
        for (size_t i = 0; i < OwnTextCount; ++i) {
            const std::string_view utf8 = m_ownTexts[i];
            ascii[i] =
                std::all_of(utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x80; });
            if (utf8.data() && ascii[i])
                units += qsizetype(utf8.size()) + 1;
        }
        QString buffer;
        char16_t *out = nullptr;
        if (units > 0) {
            buffer = QString(units, Qt::Uninitialized);
            out = reinterpret_cast<char16_t *>(buffer.data());
        }
        const auto make = [&](OwnText which) {
            const std::string_view utf8 = m_ownTexts[which];
            if (!ascii[which])
                return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
            char16_t *const text = out;
            out = std::copy(utf8.begin(), utf8.end(), out);
            *out++ = u'\0';
            QString::DataPointer &shared = buffer.data_ptr();
            shared.d_ptr()->ref();
            return QString(QString::DataPointer(shared.d_ptr(), text, qsizetype(utf8.size())));
        };
        if (m_ownTexts[OwnHex].data())
            a.hex = make(OwnHex);
        if (m_ownTexts[OwnFlight].data())
            a.flight = make(OwnFlight);
        if (m_ownTexts[OwnRegistration].data())
            a.registration = make(OwnRegistration);
    }

    // A squawk, nearly always four octal digits, which are literals.
    bool squawk(
        ondemand::value &value, std::string_view token, int depth, std::optional<QString> &field)
    {
        if (const auto done = settled(value, token, depth, token[0] == '"', field))
            return *done;
        const std::string_view utf8 = string(value, token);
        field = squawkText(utf8);
        if (!field)
            field = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        return true;
    }

    // A text many aircraft share.
    bool sharedText(
        ondemand::value &value, std::string_view token, int depth, std::optional<QString> &field)
    {
        if (const auto done = settled(value, token, depth, token[0] == '"', field))
            return *done;
        const std::string_view utf8 = string(value, token);
        // An empty text needs no buffer of its own.
        field = utf8.empty() ? QString::fromUtf8(utf8.data(), 0) : m_texts.text(utf8);
        return true;
    }

    bool number(
        ondemand::value &value, std::string_view token, int depth, std::optional<double> &field)
    {
        if (const auto done = settled(value, token, depth, isNumberToken(token), field))
            return *done;
        // simdjson reads a number of up to twenty bytes as its document parser does; a longer
        // one it may read otherwise (more than nineteen digits after "0.") or refuse (an
        // exponent of twenty digits), so the full reading decides on those, and on any it
        // refuses.
        double parsed;
        if (token.size() <= 20 && value.get_double().get(parsed) == simdjson::SUCCESS) [[likely]] {
            field = parsed;
            return true;
        }
        Number number;
        if (!number.read(token))
            refuse(simdjson::NUMBER_ERROR);
        field = number.toDouble();
        if (!field)
            refuse(simdjson::NUMBER_ERROR);
        return true;
    }

    // A number with no fractional part that fits 64 bits, however it is written: 3.0 and 3e0
    // are 3, while an integer beyond 64 bits is no whole number we can hold.
    static std::optional<qint64> wholeNumber(ondemand::value &value, std::string_view token)
    {
        // Most are a few digits, read at once.
        const size_t size = token.size();
        const size_t sign = token[0] == '-';
        if (size - sign <= 8 && !isSpace(token.back())) {
            const NumberBytes bytes = classify(token.data());
            const uint32_t within = (uint32_t(1) << size) - 1;
            if ((bytes.digits & within) == (within & ~uint32_t(sign)) && size > sign
                && (token[sign] != '0' || size == sign + 1)) [[likely]] {
                const qint64 magnitude = eightDigits(token.data() + sign, size - sign);
                return sign ? -magnitude : magnitude;
            }
        }
        // simdjson takes exactly the integers written as such that fit 64 bits.
        int64_t parsed;
        if (value.get_int64().get(parsed) == simdjson::SUCCESS) [[likely]]
            return parsed;
        Number number;
        if (!number.read(token))
            refuse(simdjson::NUMBER_ERROR);
        if (number.isIntegral()) {
            if (const auto exact = number.integer())
                return exact;
            if (!number.isFinite())
                refuse(simdjson::NUMBER_ERROR);
            return std::nullopt;
        }
        const auto d = number.toDouble();
        if (!d)
            refuse(simdjson::NUMBER_ERROR);
        // 2^63 itself does not fit; the lower bound -2^63 does.
        if (*d == std::trunc(*d) && *d >= -9223372036854775808.0 && *d < 9223372036854775808.0)
            return qint64(*d);
        return std::nullopt;
    }

    bool integer(
        ondemand::value &value, std::string_view token, int depth, std::optional<qint64> &field)
    {
        if (const auto done = settled(value, token, depth, isNumberToken(token), field))
            return *done;
        field = wholeNumber(value, token);
        return field.has_value();
    }

    // Anything but a whole number ("ground", a fraction, a boolean) means on the ground.
    bool altitude(
        ondemand::value &value, std::string_view token, int depth, std::optional<Altitude> &field)
    {
        if (null(token, field))
            return true;
        std::optional<qint64> feet;
        if (isNumberToken(token))
            feet = wholeNumber(value, token);
        else
            checkValue(value, token, depth);
        field = feet ? Altitude::feet(*feet) : Altitude::ground();
        return true;
    }

    AircraftDecoder::TextCache &m_texts;
    Escapes m_escapes;
    // The current record's own texts, in the input (or simdjson's buffer, when unescaped).
    std::array<std::string_view, OwnTextCount> m_ownTexts {};
};

// The list under @p key of the envelope, absent when null. A bad record is noted in @p failure
// with its number, and the rest of the list only checked.
std::optional<QList<Aircraft>> readList(ondemand::value &value, std::string_view token,
    std::string_view key, Reader &reader, qsizetype &lastCount, std::optional<DecodeError> &failure)
{
    // The list is the second level of the document, its records the third: far from the
    // nesting limit.
    constexpr int listDepth = 2;
    if (token[0] != '[') {
        if (token[0] == 'n' && isLiteral(token, "null"))
            return std::nullopt;
        reader.checkValue(value, token, listDepth);
        failure = DecodeError { u"\"%1\" is not a list"_s.arg(QLatin1String(key)) };
        return std::nullopt;
    }
    ondemand::array array;
    check(value.get_array().get(array));
    QList<Aircraft> list;
    list.reserve(lastCount + lastCount / 8 + 16);
    for (auto element : array) {
        check(element.error());
        ondemand::value &record = element.value_unsafe();
        const std::string_view recordToken = record.raw_json_token();
        if (failure) {
            reader.checkValue(record, recordToken, listDepth + 1);
            continue;
        }
        // Each record is decoded in its place in the list: nothing is copied or moved after,
        // unless the list outgrows the room reserved.
        Aircraft &a = list.emplaceBack();
        try {
            if (recordToken[0] != '{') {
                reader.checkValue(record, recordToken, listDepth + 1);
                throw DecodeError { u"record is not an object"_s };
            }
            ondemand::object object;
            check(record.get_object().get(object));
            reader.readRecord(object, listDepth + 1, a);
        } catch (const DecodeError &e) {
            failure = DecodeError { u"aircraft %1: %2"_s.arg(list.size()).arg(e.message) };
        }
    }
    if (failure)
        return std::nullopt;
    lastCount = list.size();
    // A much shorter list than the last gives its spare room back.
    if (list.capacity() > 2 * list.size() + 16)
        list.squeeze();
    return list;
}

// A root that is not the object expected, read through all the same: malformed JSON is
// reported before a wrong shape.
void checkRoot(
    ondemand::document &document, std::string_view token, const char *inputEnd, Reader &reader)
{
    if (token[0] == '[') {
        ondemand::array array;
        check(document.get_array().get(array));
        reader.checkElements(array, 1);
        checkAtEnd(document);
        return;
    }
    if (token[0] == '"') {
        std::string_view text;
        check(document.get_string().get(text));
    } else {
        checkAtom(token);
    }
    // A scalar's token runs to the next value, if there is one.
    if (token.data() + token.size() != inputEnd)
        refuse(simdjson::TAPE_ERROR);
}

QString parseErrorText(error_code code)
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

// Parses @p json and runs @p decode on the root, which it reads through to the end, so that
// malformed JSON anywhere is reported before any error of shape.
template<typename Decode,
    typename Result = std::invoke_result_t<Decode, ondemand::document &, std::string_view, Reader &,
        const char *>>
std::optional<Result> decodeWith(AircraftDecoder::Parser &parser, AircraftDecoder::TextCache &texts,
    const QByteArray &json, QString *error, Decode decode)
{
    try {
        const simdjson::padded_string_view input = parser.input(json);
        ondemand::document document;
        check(parser.parser.iterate(input).get(document));
        std::string_view root;
        check(document.raw_json_token().get(root));
        Reader reader(texts, input);
        return decode(document, root, reader, input.data() + input.length());
    } catch (const SyntaxError &e) {
        if (error)
            *error = parseErrorText(e.code);
    } catch (const DecodeError &e) {
        if (error)
            *error = e.message;
    }
    return std::nullopt;
}

} // namespace

AircraftDecoder::AircraftDecoder()
    : m_parser(std::make_unique<Parser>())
    , m_texts(std::make_unique<TextCache>())
{
}

AircraftDecoder::~AircraftDecoder() = default;

std::optional<APIResponse> AircraftDecoder::decodeResponse(const QByteArray &json, QString *error)
{
    auto response = decodeWith(*m_parser, *m_texts, json, error,
        [this](
            ondemand::document &document, std::string_view root, Reader &reader, const char *end) {
            if (root[0] != '{') {
                checkRoot(document, root, end, reader);
                throw DecodeError { u"the answer is not a JSON object"_s };
            }
            ondemand::object envelope;
            check(document.get_object().get(envelope));
            APIResponse response;
            // As a lookup by key would, the first of a repeated list counts; the others are
            // only checked.
            bool seenAc = false;
            bool seenAircraft = false;
            std::optional<DecodeError> acFailure;
            std::optional<DecodeError> aircraftFailure;
            for (auto field : envelope) {
                check(field.error());
                ondemand::value &value = field.value_unsafe().value();
                const std::string_view token = value.raw_json_token();
                const std::string_view key = reader.key(field.value_unsafe(), token);
                if (!seenAc && is(key, "ac")) {
                    seenAc = true;
                    response.ac =
                        readList(value, token, key, reader, m_parser->lastCount, acFailure);
                } else if (!seenAircraft && is(key, "aircraft")) {
                    seenAircraft = true;
                    response.aircraft =
                        readList(value, token, key, reader, m_parser->lastCount, aircraftFailure);
                } else {
                    reader.checkValue(value, token, 2);
                }
            }
            checkAtEnd(document);
            if (acFailure)
                throw *acFailure;
            if (aircraftFailure)
                throw *aircraftFailure;
            return response;
        });
    m_texts->prune();
    return response;
}

std::optional<Aircraft> AircraftDecoder::decodeAircraft(const QByteArray &json, QString *error)
{
    auto aircraft = decodeWith(*m_parser, *m_texts, json, error,
        [](ondemand::document &document, std::string_view root, Reader &reader, const char *end) {
            if (root[0] != '{') {
                checkRoot(document, root, end, reader);
                throw DecodeError { u"record is not an object"_s };
            }
            ondemand::object object;
            check(document.get_object().get(object));
            Aircraft a;
            std::optional<DecodeError> failure;
            try {
                reader.readRecord(object, 1, a);
            } catch (const DecodeError &e) {
                failure = e;
            }
            checkAtEnd(document);
            if (failure)
                throw *failure;
            return a;
        });
    m_texts->prune();
    return aircraft;
}
