// SPDX-License-Identifier: GPL-3.0-or-later
#include "textutil.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace TextUtil {

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return text;
    // Escaped text alone would show its entities literally; "<qt>" makes it rich text on
    // purpose, with nothing left in it to interpret.
    return u"<qt>"_s + text.toHtmlEscaped() + u"</qt>"_s;
}

QString formatNumber(double value, int decimals)
{
    if (!std::isfinite(value))
        return u"—"_s;
    // Far below the 2^63 an integer conversion could not hold.
    if (std::abs(value) >= 1e9)
        return QString::number(value, 'g', 3);
    if (decimals <= 0)
        return QString::number(qint64(std::round(value)));
    return QString::number(value, 'f', decimals);
}

QStringView trimSpacesAndTabs(QStringView text)
{
    // The one ASCII space separator is the space itself; only beyond ASCII is the category
    // worth looking up (callsigns are trimmed for every aircraft on every poll).
    const auto isBlank = [](QChar c) {
        if (c.unicode() < 0x80)
            return c == u' ' || c == u'\t';
        return c.category() == QChar::Separator_Space;
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QString trimSpacesAndTabs(const QString &text)
{
    return trimSpacesAndTabs(QStringView(text)).toString();
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

QString titleCase(const QString &text)
{
    QString result = text.toLower();
    bool wordStart = true;
    for (QChar &c : result) {
        if (c.isSpace()) {
            wordStart = true;
        } else if (wordStart) {
            c = c.toUpper();
            wordStart = false;
        }
    }
    return result;
}

} // namespace TextUtil
