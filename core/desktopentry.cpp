// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopentry.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace DesktopEntry {

QString execArgument(const QString &path)
{
    static const QString reserved = u" \t\"'\\><~|&;$*?#()`"_s;
    QString quoted = path;
    quoted.replace(u'%', u"%%"_s);
    if (std::none_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); }))
        return quoted;
    QString escaped;
    for (const QChar c : std::as_const(quoted)) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    escaped.replace(u'\\', u"\\\\"_s);
    return u'"' + escaped + u'"';
}

} // namespace DesktopEntry
