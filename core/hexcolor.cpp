// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexcolor.h"

#include "textutil.h"

#include <QStringView>
#include <QTextBoundaryFinder>

#include <cmath>

namespace {

qsizetype graphemeCount(QStringView text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), int(text.size()));
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Unsigned hexadecimal with an optional leading "+", nothing else: no "-", no "0x", no blanks.
std::optional<quint32> parseUnsignedHex(QStringView digits)
{
    if (digits.startsWith(u'+'))
        digits = digits.sliced(1);
    if (digits.isEmpty())
        return std::nullopt;
    quint32 value = 0;
    for (QChar c : digits) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | quint32(digit);
    }
    return value;
}

int byteOf(double component)
{
    return int(std::round(component * 255.0));
}

} // namespace

namespace HexColor {

std::optional<std::array<double, 3>> components(const QString &hex)
{
    // Line breaks are not trimmed, so they fail the length.
    QStringView text = TextUtil::trimSpacesAndTabs(QStringView(hex));
    if (text.startsWith(u'#'))
        text = text.sliced(1);
    if (graphemeCount(text) != 6)
        return std::nullopt;
    const auto value = parseUnsignedHex(text);
    if (!value)
        return std::nullopt;
    return std::array<double, 3> {
        double((*value >> 16) & 0xFF) / 255.0,
        double((*value >> 8) & 0xFF) / 255.0,
        double(*value & 0xFF) / 255.0,
    };
}

std::optional<QColor> color(const QString &hex)
{
    const auto rgb = components(hex);
    if (!rgb)
        return std::nullopt;
    return QColor::fromRgbF(float((*rgb)[0]), float((*rgb)[1]), float((*rgb)[2]));
}

std::optional<QString> hexString(const QColor &color)
{
    if (!color.isValid())
        return std::nullopt;
    const QColor rgb = color.toRgb();
    return QString::asprintf(
        "#%02X%02X%02X", byteOf(rgb.redF()), byteOf(rgb.greenF()), byteOf(rgb.blueF()));
}

double luminance(const QColor &color)
{
    if (!color.isValid())
        return 0.0;
    const QColor rgb = color.toRgb();
    return 0.299 * rgb.redF() + 0.587 * rgb.greenF() + 0.114 * rgb.blueF();
}

bool isLight(const QColor &color)
{
    return luminance(color) > 0.62;
}

} // namespace HexColor
