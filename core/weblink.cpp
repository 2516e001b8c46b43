// SPDX-License-Identifier: GPL-3.0-or-later
#include "weblink.h"

#include <QDesktopServices>

using namespace Qt::StringLiterals;

namespace WebLink {

bool isWeb(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == "http"_L1 || scheme == "https"_L1) && !url.host().isEmpty();
}

bool open(const QUrl &url)
{
    return isWeb(url) && QDesktopServices::openUrl(url);
}

} // namespace WebLink
