// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexset.h"

#include <optional>

namespace {

constexpr qsizetype icaoDigits = 6;

// The address when @p hex is six lower-case hex digits, the one spelling that prints back the
// same; otherwise absent.
std::optional<quint32> icaoAddress(QStringView hex)
{
    if (hex.size() != icaoDigits)
        return std::nullopt;
    quint32 address = 0;
    for (const QChar c : hex) {
        const char16_t u = c.unicode();
        quint32 digit;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else
            return std::nullopt;
        address = address << 4 | digit;
    }
    return address;
}

} // namespace

bool HexSet::insert(const QString &hex)
{
    const qsizetype before = size();
    if (const auto address = icaoAddress(hex))
        m_icao.insert(*address);
    else
        m_other.insert(hex);
    return size() != before;
}

bool HexSet::contains(const QString &hex) const
{
    if (const auto address = icaoAddress(hex))
        return m_icao.contains(*address);
    return m_other.contains(hex);
}

void HexSet::clear()
{
    m_icao.clear();
    m_other.clear();
}

void HexSet::forEach(const std::function<void(QStringView)> &visit) const
{
    static constexpr char16_t digits[] = u"0123456789abcdef";
    char16_t text[icaoDigits];
    for (const quint32 address : m_icao) {
        for (qsizetype i = 0; i < icaoDigits; ++i)
            text[i] = digits[(address >> (4 * (icaoDigits - 1 - i))) & 0xf];
        visit(QStringView(text, icaoDigits));
    }
    for (const QString &hex : m_other)
        visit(hex);
}
