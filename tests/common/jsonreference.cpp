// SPDX-License-Identifier: GPL-3.0-or-later
#include "jsonreference.h"

#include <algorithm>
#include <simdjson.h>

namespace {

// @p json with every integer of 19 digits or more (outside strings) written as a decimal, which
// the parser reads as a double whatever its size. Integers that fit 64 bits become doubles
// too, which changes no verdict.
QByteArray widenLongIntegers(const QByteArray &json)
{
    constexpr qsizetype widenFrom = 19;
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
            const qsizetype count = p - digits;
            const bool integer = p == end || (*p != '.' && *p != 'e' && *p != 'E');
            // A fraction or an exponent, left as it is: its digits are no integer.
            while (p < end
                && (isDigit(*p) || *p == '.' || *p == 'e' || *p == 'E' || *p == '+' || *p == '-'))
                ++p;
            out.append(start, p - start);
            if (integer && count >= widenFrom)
                out.append(".0");
        } else {
            out.append(*p++);
        }
    }
    return out;
}

simdjson::error_code parse(simdjson::dom::parser &parser, const QByteArray &json)
{
    return parser.parse(json.constData(), size_t(json.size())).error();
}

} // namespace

namespace JsonReference {

bool accepts(const QByteArray &json)
{
    simdjson::dom::parser parser;
    simdjson::error_code error = parse(parser, json);
    if (error == simdjson::NUMBER_ERROR) {
        const QByteArray widened = widenLongIntegers(json);
        if (widened != json)
            error = parse(parser, widened);
    }
    return error == simdjson::SUCCESS;
}

} // namespace JsonReference
